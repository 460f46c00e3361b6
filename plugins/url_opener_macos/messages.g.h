// The URL launcher's message-channel layer: the error enumeration (type 129) and the result
// record (type 130) with the codec that carries them, the API contract, and the set-up of
// "dev.flutter.pigeon.url_opener_macos.UrlOpenerApi.<operation>[.<suffix>]". It keeps its own
// copy of the generic routines of a generated layer.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "platform/flutter/flutter_binary_messenger.h"
#include "platform/flutter/flutter_codec.h"
#include "platform/flutter/flutter_standard_codec.h"
#include "platform/flutter/value_deep_equality.h"

namespace url_opener_macos {

using Hasher = flutter::ValueHasher;
using flutter::deepEquals;
using flutter::deepHash;
using flutter::nilOrValue;

struct PigeonError {
  std::string code;
  std::optional<std::string> message;
  flutter::Value details;
};

flutter::ValueList wrapError(const PigeonError& error);
flutter::ValueList wrapError(const FlutterError& error);
flutter::ValueList wrapError(const std::exception& error);

enum class UrlOpenerError : int32_t { invalidUrl = 0 };
std::optional<UrlOpenerError> urlOpenerErrorFromRawValue(int64_t rawValue);

struct UrlOpenerBoolResult {
  bool value = false;
  std::optional<UrlOpenerError> error;

  flutter::ValueList toList() const;
  // Raises FlutterCodecError for a list in the wrong form.
  static UrlOpenerBoolResult fromList(const flutter::ValueList& list);
  std::string description() const;
  uint64_t hash() const;
  friend bool operator==(const UrlOpenerBoolResult& a, const UrlOpenerBoolResult& b);
};

// The enumeration and the record carried in message values. Any two errors are equal.
class UrlOpenerErrorValue : public flutter::CustomValue {
 public:
  explicit UrlOpenerErrorValue(UrlOpenerError error) : error_(error) {}
  UrlOpenerError error() const { return error_; }
  std::string typeName() const override { return "UrlOpenerError"; }
  bool equals(const flutter::CustomValue& other) const override {
    return dynamic_cast<const UrlOpenerErrorValue*>(&other) != nullptr;
  }
  // Every error value equals every other, so all hash alike.
  uint64_t messageHash() const override { return 0; }

 private:
  UrlOpenerError error_;
};

class UrlOpenerBoolResultValue : public flutter::CustomValue {
 public:
  explicit UrlOpenerBoolResultValue(UrlOpenerBoolResult record) : record_(record) {}
  const UrlOpenerBoolResult& record() const { return record_; }
  std::string typeName() const override { return "UrlOpenerBoolResult"; }
  bool equals(const flutter::CustomValue& other) const override {
    const auto* same = dynamic_cast<const UrlOpenerBoolResultValue*>(&other);
    return same != nullptr && same->record_ == record_;
  }
  uint64_t messageHash() const override { return record_.hash(); }

 private:
  UrlOpenerBoolResult record_;
};

class MessagesPigeonCodecReader : public FlutterStandardReader {
 public:
  using FlutterStandardReader::FlutterStandardReader;
  flutter::Value readValueOfType(uint8_t type) override;
};

class MessagesPigeonCodecWriter : public FlutterStandardWriter {
 public:
  using FlutterStandardWriter::FlutterStandardWriter;
  void writeValue(const flutter::Value& value) override;
};

class MessagesPigeonCodecReaderWriter : public FlutterStandardReaderWriter {
 public:
  std::unique_ptr<FlutterStandardWriter> writerWithData(FlutterBytes& data) const override;
  std::unique_ptr<FlutterStandardReader> readerWithData(
      std::span<const uint8_t> data) const override;
};

const std::shared_ptr<const FlutterStandardMessageCodec>& MessagesPigeonCodec();

template <typename T>
using ErrorOr = std::variant<T, PigeonError, FlutterError>;

class UrlOpenerApi {
 public:
  virtual ~UrlOpenerApi() = default;
  virtual ErrorOr<UrlOpenerBoolResult> canLaunchUrl(const std::string& url) = 0;
  virtual ErrorOr<UrlOpenerBoolResult> launchUrl(const std::string& url) = 0;
};

class UrlOpenerApiSetup {
 public:
  static void setUp(const std::shared_ptr<FlutterBinaryMessenger>& messenger,
                    std::shared_ptr<UrlOpenerApi> api, const std::string& messageChannelSuffix);
};

}  // namespace url_opener_macos
