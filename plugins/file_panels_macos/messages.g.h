// The file selector's message-channel layer: the option records with their list form, equality,
// hashing and text form; the codec that carries them (types 129 to 131); the API contract; and
// the set-up of "dev.flutter.pigeon.file_panels_macos.FilePanelsApi.<operation>[.<suffix>]".
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/flutter/flutter_binary_messenger.h"
#include "platform/flutter/flutter_codec.h"
#include "platform/flutter/flutter_standard_codec.h"
#include "platform/flutter/value_deep_equality.h"

namespace file_panels_macos {

using Hasher = flutter::ValueHasher;
using flutter::deepEquals;
using flutter::deepHash;
using flutter::nilOrValue;

struct PigeonError {
  std::string code;
  std::optional<std::string> message;
  flutter::Value details;
};

// The reply list of a failure: [code, message, details].
flutter::ValueList wrapError(const PigeonError& error);
flutter::ValueList wrapError(const FlutterError& error);
flutter::ValueList wrapError(const std::exception& error);

struct AllowedTypes {
  std::vector<std::string> extensions;
  std::vector<std::string> mimeTypes;
  std::vector<std::string> utis;

  flutter::ValueList toList() const;
  // Raises FlutterCodecError for a list in the wrong form.
  static AllowedTypes fromList(const flutter::ValueList& list);
  std::string description() const;
  uint64_t hash() const;
  friend bool operator==(const AllowedTypes& a, const AllowedTypes& b);
};

struct SavePanelOptions {
  std::optional<AllowedTypes> allowedFileTypes;
  std::optional<std::string> directoryPath;
  std::optional<std::string> nameFieldStringValue;
  std::optional<std::string> prompt;
  std::optional<bool> canCreateDirectories;

  flutter::ValueList toList() const;
  static SavePanelOptions fromList(const flutter::ValueList& list);
  std::string description() const;
  uint64_t hash() const;
  friend bool operator==(const SavePanelOptions& a, const SavePanelOptions& b);
};

struct OpenPanelOptions {
  bool allowsMultipleSelection = false;
  bool canChooseDirectories = false;
  bool canChooseFiles = true;
  SavePanelOptions baseOptions;

  flutter::ValueList toList() const;
  static OpenPanelOptions fromList(const flutter::ValueList& list);
  std::string description() const;
  uint64_t hash() const;
  friend bool operator==(const OpenPanelOptions& a, const OpenPanelOptions& b);
};

// A record carried in a message value.
template <typename Record>
class RecordValue : public flutter::CustomValue {
 public:
  explicit RecordValue(Record record) : record_(std::move(record)) {}
  const Record& record() const { return record_; }
  std::string typeName() const override;
  bool equals(const flutter::CustomValue& other) const override {
    const auto* same = dynamic_cast<const RecordValue*>(&other);
    return same != nullptr && same->record_ == record_;
  }
  uint64_t messageHash() const override { return record_.hash(); }

 private:
  Record record_;
};

template <>
std::string RecordValue<AllowedTypes>::typeName() const;
template <>
std::string RecordValue<SavePanelOptions>::typeName() const;
template <>
std::string RecordValue<OpenPanelOptions>::typeName() const;

template <typename Record>
flutter::Value wrapRecord(Record record) {
  return flutter::Value(std::make_shared<const RecordValue<Record>>(std::move(record)));
}

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

// The shared codec of both channels, made once.
const std::shared_ptr<const FlutterStandardMessageCodec>& MessagesPigeonCodec();

template <typename T>
using Completion = std::function<void(std::variant<T, PigeonError, FlutterError>)>;

class FilePanelsApi {
 public:
  virtual ~FilePanelsApi() = default;
  virtual void displayOpenPanel(const OpenPanelOptions& options,
                                Completion<std::vector<std::string>> completion) = 0;
  virtual void displaySavePanel(const SavePanelOptions& options,
                                Completion<std::optional<std::string>> completion) = 0;
};

class FilePanelsApiSetup {
 public:
  // Installs one handler per operation, or removes them when `api` is null.
  static void setUp(const std::shared_ptr<FlutterBinaryMessenger>& messenger,
                    std::shared_ptr<FilePanelsApi> api, const std::string& messageChannelSuffix);
};

}  // namespace file_panels_macos
