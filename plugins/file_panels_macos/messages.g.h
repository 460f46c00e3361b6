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
#include "platform/flutter/generated_message_support.h"
#include "platform/flutter/value_deep_equality.h"

namespace file_panels_macos {

using Hasher = flutter::ValueHasher;
using flutter::deepEquals;
using flutter::deepHash;
using flutter::nilOrValue;

using flutter::PigeonError;
// The reply list of a failure: [code, message, details].
using flutter::wrapError;

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

// The records the codec carries (types 129 to 131), in their list form.
struct MessagesRecords {
  static bool holds(uint8_t type);
  static flutter::Value read(uint8_t type, const flutter::Value& fields);
  static std::optional<std::pair<uint8_t, flutter::ValueList>> write(const flutter::Value& value);
};

using MessagesPigeonCodecReader = flutter::PigeonCodecReader<MessagesRecords>;
using MessagesPigeonCodecWriter = flutter::PigeonCodecWriter<MessagesRecords>;
using MessagesPigeonCodecReaderWriter =
    flutter::PigeonReaderWriter<MessagesPigeonCodecReader, MessagesPigeonCodecWriter>;

// The shared codec of both channels, made once.
const std::shared_ptr<const FlutterStandardMessageCodec>& MessagesPigeonCodec();

template <typename T>
using Completion = std::function<void(flutter::PigeonOutcome<T>)>;

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
