#include "plugins/file_panels_macos/messages.g.h"

#include <cstring>
#include <functional>
#include <typeinfo>

#include "platform/flutter/flutter_basic_message_channel.h"
#include "platform/flutter/flutter_message_envelope.h"

namespace file_panels_macos {
namespace {

using flutter::Value;
using flutter::ValueList;

constexpr uint8_t kAllowedTypesType = 129;
constexpr uint8_t kSavePanelOptionsType = 130;
constexpr uint8_t kOpenPanelOptionsType = 131;

// Reads a record field by position; a wrong type is a malformed record.
[[noreturn]] void malformed(const std::string& record, const std::string& why) {
  throw FlutterCodecError(record + ": " + why);
}

void requireSize(const ValueList& list, size_t fields, const char* record) {
  if (list.size() < fields) malformed(record, "expected " + std::to_string(fields) + " fields");
}

std::vector<std::string> stringsField(const Value& value, const char* record) {
  const ValueList* list = value.asList();
  if (list == nullptr) malformed(record, "expected a list of strings");
  std::vector<std::string> strings;
  for (const auto& element : *list) {
    if (element.asString() == nullptr) malformed(record, "expected a list of strings");
    strings.push_back(*element.asString());
  }
  return strings;
}

bool boolField(const Value& value, const char* record) {
  if (!value.is<bool>()) malformed(record, "expected a Boolean");
  return value.get<bool>();
}

std::optional<std::string> optionalString(const Value& value, const char* record) {
  if (nilOrValue(&value) == nullptr) return std::nullopt;
  if (value.asString() == nullptr) malformed(record, "expected a string or nil");
  return *value.asString();
}

Value optionalValue(const std::optional<std::string>& text) { return text ? Value(*text) : Value(); }

ValueList stringList(const std::vector<std::string>& strings) {
  return ValueList(strings.begin(), strings.end());
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

std::string describe(const std::vector<std::string>& strings) {
  std::string text = "[";
  for (size_t i = 0; i < strings.size(); ++i) text += (i ? ", " : "") + quoted(strings[i]);
  return text + "]";
}

template <typename T, typename Describe>
std::string describeOptional(const std::optional<T>& value, Describe describeValue) {
  return value ? "Optional(" + describeValue(*value) + ")" : "nil";
}

std::string describeBool(bool value) { return value ? "true" : "false"; }

}  // namespace

template <>
std::string RecordValue<AllowedTypes>::typeName() const { return "AllowedTypes"; }
template <>
std::string RecordValue<SavePanelOptions>::typeName() const { return "SavePanelOptions"; }
template <>
std::string RecordValue<OpenPanelOptions>::typeName() const { return "OpenPanelOptions"; }

// AllowedTypes.

ValueList AllowedTypes::toList() const {
  return ValueList{stringList(extensions), stringList(mimeTypes), stringList(utis)};
}

AllowedTypes AllowedTypes::fromList(const ValueList& list) {
  requireSize(list, 3, "AllowedTypes");
  return AllowedTypes{stringsField(list[0], "AllowedTypes"), stringsField(list[1], "AllowedTypes"),
                      stringsField(list[2], "AllowedTypes")};
}

std::string AllowedTypes::description() const {
  return "AllowedTypes(extensions: " + describe(extensions) + ", mimeTypes: " +
         describe(mimeTypes) + ", utis: " + describe(utis) + ")";
}

uint64_t AllowedTypes::hash() const { return flutter::recordHash("AllowedTypes", toList()); }

bool operator==(const AllowedTypes& a, const AllowedTypes& b) {
  return deepEquals(Value(a.toList()), Value(b.toList()));
}

// SavePanelOptions.

ValueList SavePanelOptions::toList() const {
  return ValueList{allowedFileTypes ? wrapRecord(*allowedFileTypes) : Value(),
                   optionalValue(directoryPath), optionalValue(nameFieldStringValue),
                   optionalValue(prompt),
                   canCreateDirectories ? Value(*canCreateDirectories) : Value()};
}

SavePanelOptions SavePanelOptions::fromList(const ValueList& list) {
  constexpr const char* kRecord = "SavePanelOptions";
  requireSize(list, 5, kRecord);
  SavePanelOptions options;
  if (nilOrValue(&list[0]) != nullptr) {
    auto types = list[0].asCustom<RecordValue<AllowedTypes>>();
    if (!types) malformed(kRecord, "expected AllowedTypes or nil");
    options.allowedFileTypes = types->record();
  }
  options.directoryPath = optionalString(list[1], kRecord);
  options.nameFieldStringValue = optionalString(list[2], kRecord);
  options.prompt = optionalString(list[3], kRecord);
  if (nilOrValue(&list[4]) != nullptr) options.canCreateDirectories = boolField(list[4], kRecord);
  return options;
}

std::string SavePanelOptions::description() const {
  auto text = [](const std::string& value) { return quoted(value); };
  return "SavePanelOptions(allowedFileTypes: " +
         describeOptional(allowedFileTypes,
                          [](const AllowedTypes& types) { return types.description(); }) +
         ", directoryPath: " + describeOptional(directoryPath, text) +
         ", nameFieldStringValue: " + describeOptional(nameFieldStringValue, text) +
         ", prompt: " + describeOptional(prompt, text) +
         ", canCreateDirectories: " + describeOptional(canCreateDirectories, describeBool) + ")";
}

uint64_t SavePanelOptions::hash() const { return flutter::recordHash("SavePanelOptions", toList()); }

bool operator==(const SavePanelOptions& a, const SavePanelOptions& b) {
  const ValueList left = a.toList(), right = b.toList();
  for (size_t i = 0; i < left.size(); ++i) {
    if (!deepEquals(left[i], right[i])) return false;
  }
  return true;
}

// OpenPanelOptions.

ValueList OpenPanelOptions::toList() const {
  return ValueList{allowsMultipleSelection, canChooseDirectories, canChooseFiles,
                   wrapRecord(baseOptions)};
}

OpenPanelOptions OpenPanelOptions::fromList(const ValueList& list) {
  constexpr const char* kRecord = "OpenPanelOptions";
  requireSize(list, 4, kRecord);
  auto base = list[3].asCustom<RecordValue<SavePanelOptions>>();
  if (!base) malformed(kRecord, "expected SavePanelOptions");
  return OpenPanelOptions{boolField(list[0], kRecord), boolField(list[1], kRecord),
                          boolField(list[2], kRecord), base->record()};
}

std::string OpenPanelOptions::description() const {
  return "OpenPanelOptions(allowsMultipleSelection: " + describeBool(allowsMultipleSelection) +
         ", canChooseDirectories: " + describeBool(canChooseDirectories) +
         ", canChooseFiles: " + describeBool(canChooseFiles) +
         ", baseOptions: " + baseOptions.description() + ")";
}

uint64_t OpenPanelOptions::hash() const { return flutter::recordHash("OpenPanelOptions", toList()); }

bool operator==(const OpenPanelOptions& a, const OpenPanelOptions& b) {
  const ValueList left = a.toList(), right = b.toList();
  for (size_t i = 0; i < left.size(); ++i) {
    if (!deepEquals(left[i], right[i])) return false;
  }
  return true;
}

// The codec.

bool MessagesRecords::holds(uint8_t type) {
  return type >= kAllowedTypesType && type <= kOpenPanelOptionsType;
}

Value MessagesRecords::read(uint8_t type, const Value& fields) {
  const ValueList* list = fields.asList();
  if (list == nullptr) throw FlutterCodecError("a record must be written as a list");
  switch (type) {
    case kAllowedTypesType:
      return wrapRecord(AllowedTypes::fromList(*list));
    case kSavePanelOptionsType:
      return wrapRecord(SavePanelOptions::fromList(*list));
    default:
      return wrapRecord(OpenPanelOptions::fromList(*list));
  }
}

std::optional<std::pair<uint8_t, ValueList>> MessagesRecords::write(const Value& value) {
  if (auto types = value.asCustom<RecordValue<AllowedTypes>>()) {
    return std::pair{kAllowedTypesType, types->record().toList()};
  }
  if (auto save = value.asCustom<RecordValue<SavePanelOptions>>()) {
    return std::pair{kSavePanelOptionsType, save->record().toList()};
  }
  if (auto open = value.asCustom<RecordValue<OpenPanelOptions>>()) {
    return std::pair{kOpenPanelOptionsType, open->record().toList()};
  }
  return std::nullopt;
}

const std::shared_ptr<const FlutterStandardMessageCodec>& MessagesPigeonCodec() {
  return flutter::sharedPigeonCodec<MessagesPigeonCodecReader, MessagesPigeonCodecWriter>();
}

// Set-up.

namespace {

using MessageHandler = std::function<void(const Value& message, FlutterReply reply)>;

// Element 0 of the message as a record of the wanted type, or the error reply already sent.
template <typename Record>
std::optional<Record> readRecordArgument(const Value& message, const FlutterReply& reply,
                                         const char* operation) {
  const ValueList* list = message.asList();
  auto record = list != nullptr && !list->empty() ? (*list)[0].asCustom<RecordValue<Record>>()
                                                  : nullptr;
  if (!record) {
    reply(Value(wrapError(FlutterError{
        "invalid-argument",
        std::string(operation) + " expects a list whose first element is " +
            RecordValue<Record>(Record{}).typeName(),
        nullptr})));
    return std::nullopt;
  }
  return record->record();
}

template <typename T, typename Convert>
Completion<T> replyWith(FlutterReply reply, Convert convert) {
  return [reply = std::move(reply), convert](flutter::PigeonOutcome<T> outcome) {
    reply(Value(flutter::wrapOutcome(std::move(outcome), convert)));
  };
}

void install(const std::shared_ptr<FlutterBinaryMessenger>& messenger, const std::string& name,
             MessageHandler handler) {
  FlutterBasicMessageChannel channel(name, messenger, MessagesPigeonCodec());
  channel.setMessageHandler(std::move(handler));
}

}  // namespace

void FilePanelsApiSetup::setUp(const std::shared_ptr<FlutterBinaryMessenger>& messenger,
                               std::shared_ptr<FilePanelsApi> api,
                               const std::string& messageChannelSuffix) {
  auto channel = [&](const std::string& operation) {
    return flutter::pigeonChannelName("file_panels_macos", "FilePanelsApi", operation,
                                      messageChannelSuffix);
  };
  if (!api) {
    install(messenger, channel("displayOpenPanel"), nullptr);
    install(messenger, channel("displaySavePanel"), nullptr);
    return;
  }
  install(messenger, channel("displayOpenPanel"),
          [api](const Value& message, FlutterReply reply) {
            auto options = readRecordArgument<OpenPanelOptions>(message, reply, "displayOpenPanel");
            if (!options) return;
            api->displayOpenPanel(
                *options, replyWith<std::vector<std::string>>(
                              std::move(reply), [](const std::vector<std::string>& paths) {
                                return Value(stringList(paths));
                              }));
          });
  install(messenger, channel("displaySavePanel"),
          [api](const Value& message, FlutterReply reply) {
            auto options = readRecordArgument<SavePanelOptions>(message, reply, "displaySavePanel");
            if (!options) return;
            api->displaySavePanel(*options, replyWith<std::optional<std::string>>(
                                                std::move(reply),
                                                [](const std::optional<std::string>& path) {
                                                  return optionalValue(path);
                                                }));
          });
}

}  // namespace file_panels_macos
