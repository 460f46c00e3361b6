// What the generated message-channel layers of the plug-ins share: the API error record and its
// reply list, the channel name of an operation, record equality and hashing, the reply list of an
// outcome, and the codec plumbing around a plug-in's own reader and writer.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <variant>

#include "platform/flutter/flutter_codec.h"
#include "platform/flutter/flutter_message_envelope.h"
#include "platform/flutter/flutter_standard_codec.h"
#include "platform/flutter/value_deep_equality.h"

namespace flutter {

// An error an API implementation answers, sent back as it is.
struct PigeonError {
  std::string code;
  std::optional<std::string> message;
  Value details;
};

// The reply list of a failure: [code, message, details].
inline ValueList wrapError(const PigeonError& error) {
  return ValueList{Value(error.code), error.message ? Value(*error.message) : Value(),
                   error.details};
}

// What an operation answers: its result, or the error to send back.
template <typename T>
using PigeonOutcome = std::variant<T, PigeonError, FlutterError>;

// The reply list of an outcome: the error's, or the converted result wrapped.
template <typename T, typename Convert>
ValueList wrapOutcome(PigeonOutcome<T> outcome, const Convert& convert) {
  if (auto* error = std::get_if<PigeonError>(&outcome)) return wrapError(*error);
  if (auto* error = std::get_if<FlutterError>(&outcome)) return wrapError(*error);
  return wrapResult(convert(std::move(std::get<T>(outcome))));
}

// "dev.flutter.pigeon.<package>.<api>.<operation>", then ".<suffix>" when there is one.
inline std::string pigeonChannelName(const std::string& package, const std::string& api,
                                     const std::string& operation, const std::string& suffix) {
  return "dev.flutter.pigeon." + package + "." + api + "." + operation +
         (suffix.empty() ? "" : "." + suffix);
}

inline uint64_t hashOfString(const std::string& text) { return std::hash<std::string>()(text); }

// A record's hash: its type name, then each field deeply, so that equal records hash alike.
inline uint64_t recordHash(const std::string& typeName, const ValueList& fields) {
  ValueHasher hasher;
  hasher.combine(hashOfString(typeName));
  for (const auto& field : fields) deepHash(field, hasher);
  return hasher.finalize();
}

// Whether `other` is a record of the same kind as `self` with deeply equal fields; the pair to
// recordHash for records that list their fields with `toList()`.
template <typename Record>
bool recordEquals(const Record& self, const CustomValue& other) {
  const auto* record = dynamic_cast<const Record*>(&other);
  return record != nullptr &&
         (record == &self || deepEquals(Value(self.toList()), Value(record->toList())));
}

// A plug-in's records above the standard types, as `Records` describes them:
//   static bool holds(uint8_t type);
//   static Value read(uint8_t type, const Value& fields);  // raises FlutterCodecError
//   static std::optional<std::pair<uint8_t, ValueList>> write(const Value& value);
template <typename Records>
class PigeonCodecReader : public FlutterStandardReader {
 public:
  using FlutterStandardReader::FlutterStandardReader;
  Value readValueOfType(uint8_t type) override {
    if (!Records::holds(type)) return FlutterStandardReader::readValueOfType(type);
    return Records::read(type, readValue());
  }
};

template <typename Records>
class PigeonCodecWriter : public FlutterStandardWriter {
 public:
  using FlutterStandardWriter::FlutterStandardWriter;
  void writeValue(const Value& value) override {
    auto record = Records::write(value);
    if (!record) {
      FlutterStandardWriter::writeValue(value);
      return;
    }
    writeByte(record->first);
    // Through this writer, so that a record nested in a record is written as a record too.
    writeValue(Value(std::move(record->second)));
  }
};

// Makes the plug-in's reader and writer for the standard codec.
template <typename Reader, typename Writer>
class PigeonReaderWriter : public FlutterStandardReaderWriter {
 public:
  std::unique_ptr<FlutterStandardWriter> writerWithData(FlutterBytes& data) const override {
    return std::make_unique<Writer>(data);
  }
  std::unique_ptr<FlutterStandardReader> readerWithData(
      std::span<const uint8_t> data) const override {
    return std::make_unique<Reader>(data);
  }
};

// The one codec of a plug-in's reader and writer, made on first use.
template <typename Reader, typename Writer>
const std::shared_ptr<const FlutterStandardMessageCodec>& sharedPigeonCodec() {
  static const std::shared_ptr<const FlutterStandardMessageCodec> codec =
      std::make_shared<FlutterStandardMessageCodec>(
          std::make_shared<PigeonReaderWriter<Reader, Writer>>());
  return codec;
}

}  // namespace flutter
