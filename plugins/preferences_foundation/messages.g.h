// The preferences plug-in's message-channel layer: the options record, the codec that carries it
// (type 129), the error record, the two API interfaces and the set-up that installs one handler
// per operation on "dev.flutter.pigeon.preferences_foundation.<Api>.<operation>[.<suffix>]".
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "platform/dispatch/dispatch.h"
#include "platform/flutter/flutter_binary_messenger.h"
#include "platform/flutter/flutter_codec.h"
#include "platform/flutter/flutter_standard_codec.h"
#include "platform/flutter/generated_message_support.h"

namespace preferences_foundation {

class PreferencesPigeonOptions : public flutter::CustomValue {
 public:
  explicit PreferencesPigeonOptions(std::optional<std::string> suiteName = std::nullopt)
      : suite_name_(std::move(suiteName)) {}

  const std::optional<std::string>& suiteName() const { return suite_name_; }

  // [suiteName], with null for no name.
  flutter::ValueList toList() const;
  // From the list form; nullopt when it is not a list whose first element is null or a string.
  static std::optional<PreferencesPigeonOptions> fromList(const flutter::Value& list);

  std::string typeName() const override { return "PreferencesPigeonOptions"; }
  bool equals(const flutter::CustomValue& other) const override;
  size_t hash() const;
  uint64_t messageHash() const override { return hash(); }
  std::string description() const;

  friend bool operator==(const PreferencesPigeonOptions& a, const PreferencesPigeonOptions& b) {
    return a.equals(b);
  }

 private:
  std::optional<std::string> suite_name_;
};

using flutter::PigeonError;

// What an operation answers: its result, or the error to send back.
template <typename T>
using ErrorOr = flutter::PigeonOutcome<T>;
// The result of an operation that returns nothing.
using Void = std::monostate;

// The reply list of a failure: [code, message, details].
using flutter::wrapError;

// The records the codec carries (type 129), in their list form.
struct MessagesRecords {
  static bool holds(uint8_t type);
  static flutter::Value read(uint8_t type, const flutter::Value& fields);
  static std::optional<std::pair<uint8_t, flutter::ValueList>> write(const flutter::Value& value);
};

using MessagesPigeonCodecReader = flutter::PigeonCodecReader<MessagesRecords>;
using MessagesPigeonCodecWriter = flutter::PigeonCodecWriter<MessagesRecords>;
using MessagesPigeonCodecReaderWriter =
    flutter::PigeonReaderWriter<MessagesPigeonCodecReader, MessagesPigeonCodecWriter>;

// The one codec of every channel of both APIs.
const std::shared_ptr<const FlutterStandardMessageCodec>& GetMessagesCodec();

class UserDefaultsApi {
 public:
  virtual ~UserDefaultsApi() = default;
  virtual ErrorOr<Void> set(const std::string& key, const flutter::Value& value,
                            const PreferencesPigeonOptions& options) = 0;
  virtual ErrorOr<Void> clear(const std::optional<flutter::ValueList>& allowList,
                              const PreferencesPigeonOptions& options) = 0;
  virtual ErrorOr<flutter::ValueMap> getAll(const std::optional<flutter::ValueList>& allowList,
                                            const PreferencesPigeonOptions& options) = 0;
  virtual ErrorOr<flutter::Value> getValue(const std::string& key,
                                           const PreferencesPigeonOptions& options) = 0;
  virtual ErrorOr<flutter::ValueList> getKeys(const std::optional<flutter::ValueList>& allowList,
                                              const PreferencesPigeonOptions& options) = 0;
};

class LegacyUserDefaultsApi {
 public:
  virtual ~LegacyUserDefaultsApi() = default;
  virtual ErrorOr<Void> remove(const std::string& key) = 0;
  virtual ErrorOr<Void> setBool(const std::string& key, bool value) = 0;
  virtual ErrorOr<Void> setDouble(const std::string& key, double value) = 0;
  virtual ErrorOr<Void> setValue(const std::string& key, const flutter::Value& value) = 0;
  virtual ErrorOr<flutter::ValueMap> getAll(const std::string& prefix,
                                            const std::optional<flutter::ValueList>& allowList) = 0;
  virtual ErrorOr<bool> clear(const std::string& prefix,
                              const std::optional<flutter::ValueList>& allowList) = 0;
};

// Both set-ups install a handler per operation, or remove them when `api` is null. Without a
// work queue an operation runs on the main thread as its message arrives. With one (serial),
// every operation runs there, one at a time in the order the messages arrived, and is answered
// on the main queue in that same order; an undecodable message is still answered at once.
class UserDefaultsApiSetup {
 public:
  static void setUpUserDefaultsApi(const std::shared_ptr<FlutterBinaryMessenger>& messenger,
                                   std::shared_ptr<UserDefaultsApi> api,
                                   const std::string& messageChannelSuffix = "",
                                   dispatch_queue_t workQueue = nullptr);
};

class LegacyUserDefaultsApiSetup {
 public:
  static void setUpLegacyUserDefaultsApi(const std::shared_ptr<FlutterBinaryMessenger>& messenger,
                                         std::shared_ptr<LegacyUserDefaultsApi> api,
                                         const std::string& messageChannelSuffix = "",
                                         dispatch_queue_t workQueue = nullptr);
};

}  // namespace preferences_foundation
