#include "plugins/preferences_foundation/messages.g.h"

#include <cxxabi.h>
#include <execinfo.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <typeinfo>
#include <utility>

#include "platform/flutter/flutter_basic_message_channel.h"
#include "platform/flutter/flutter_message_envelope.h"
#include "platform/flutter/value_deep_equality.h"

namespace preferences_foundation {
namespace {

using flutter::Value;
using flutter::ValueList;

constexpr uint8_t kOptionsType = 129;
constexpr const char* kInvalidArgumentCode = "invalid-argument";

// Reads a message's arguments by position. Each read answers the value, or the error reply.
class MessageArguments {
 public:
  MessageArguments(const Value& message, size_t count, std::string operation)
      : operation_(std::move(operation)) {
    const ValueList* list = message.asList();
    if (list == nullptr || list->size() < count) {
      error_ = fail("expected a list of " + std::to_string(count) + " arguments");
    } else {
      list_ = list;
    }
  }

  const std::optional<FlutterError>& error() const { return error_; }

  const std::string* string(size_t index) {
    const std::string* text = at(index) != nullptr ? at(index)->asString() : nullptr;
    if (text == nullptr) noteError(index, "a string");
    return text;
  }

  const Value* present(size_t index) {
    const Value* value = at(index);
    if (value == nullptr || value->isNull()) {
      noteError(index, "a value");
      return nullptr;
    }
    return value;
  }

  std::optional<bool> boolean(size_t index) {
    const Value* value = at(index);
    if (value == nullptr || !value->is<bool>()) {
      noteError(index, "a boolean");
      return std::nullopt;
    }
    return value->get<bool>();
  }

  std::optional<double> real(size_t index) {
    const Value* value = at(index);
    if (value == nullptr || !value->is<double>()) {
      noteError(index, "a floating-point number");
      return std::nullopt;
    }
    return value->get<double>();
  }

  // Null means no allow list; otherwise every element must be a string.
  std::optional<ValueList> allowList(size_t index) {
    const Value* value = at(index);
    if (value == nullptr || value->isNull()) return std::nullopt;
    const ValueList* list = value->asList();
    bool strings = list != nullptr;
    for (size_t i = 0; strings && i < list->size(); ++i) strings = (*list)[i].asString() != nullptr;
    if (!strings) {
      noteError(index, "a list of strings or null");
      return std::nullopt;
    }
    return *list;
  }

  std::shared_ptr<const PreferencesPigeonOptions> options(size_t index) {
    const Value* value = at(index);
    auto options = value != nullptr ? value->asCustom<PreferencesPigeonOptions>() : nullptr;
    if (!options) noteError(index, "PreferencesPigeonOptions");
    return options;
  }

 private:
  const Value* at(size_t index) const {
    return list_ != nullptr && index < list_->size() ? &(*list_)[index] : nullptr;
  }
  FlutterError fail(const std::string& what) const {
    return FlutterError{kInvalidArgumentCode, "Invalid arguments to " + operation_ + ": " + what,
                        nullptr};
  }
  void noteError(size_t index, const std::string& expected) {
    if (!error_) error_ = fail("argument " + std::to_string(index) + " must be " + expected);
  }

  const ValueList* list_ = nullptr;
  std::string operation_;
  std::optional<FlutterError> error_;
};

// The name of the exception's type without its namespaces or enclosing classes.
std::string plainTypeName(const std::exception& exception) {
  const char* mangled = typeid(exception).name();
  int status = 0;
  std::unique_ptr<char, decltype(&std::free)> demangled(
      abi::__cxa_demangle(mangled, nullptr, nullptr, &status), &std::free);
  const std::string name = status == 0 && demangled ? demangled.get() : mangled;
  // The last "::" outside template arguments and "(anonymous namespace)" ends the qualifier.
  size_t start = 0;
  int depth = 0;
  for (size_t i = 0; i < name.size(); ++i) {
    char c = name[i];
    if (c == '<' || c == '(') ++depth;
    if (c == '>' || c == ')') --depth;
    if (depth == 0 && c == ':' && i + 1 < name.size() && name[i + 1] == ':') start = i + 2;
  }
  return name.substr(start);
}

// A symbol as a quoted string literal: quotes, backslashes and control characters escaped.
std::string quoted(const std::string& text) {
  static constexpr std::pair<char, const char*> kEscapes[] = {
      {'"', "\\\""}, {'\\', "\\\\"}, {'\n', "\\n"}, {'\r', "\\r"}, {'\t', "\\t"}, {'\0', "\\0"}};
  std::string out = "\"";
  for (unsigned char c : text) {
    const auto* escape =
        std::find_if(std::begin(kEscapes), std::end(kEscapes),
                     [c](const auto& entry) { return entry.first == static_cast<char>(c); });
    if (escape != std::end(kEscapes)) {
      out += escape->second;
    } else if (c < 0x20 || c == 0x7F) {
      char escaped[16];
      std::snprintf(escaped, sizeof escaped, "\\u{%x}", c);
      out += escaped;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out + "\"";
}

// The current thread's call stack printed as a list: ["symbol", "symbol", ...].
std::string printedCallStack() {
  void* frames[64];
  int count = backtrace(frames, 64);
  std::unique_ptr<char*, decltype(&std::free)> symbols(backtrace_symbols(frames, count),
                                                       &std::free);
  std::string list = "[";
  for (int i = 0; symbols && i < count; ++i) {
    if (i > 0) list += ", ";
    list += quoted(symbols.get()[i]);
  }
  return list + "]";
}

// The reply list of any other failure: its text, its type's plain name and the call stack.
ValueList wrapException(const std::exception& exception) {
  return ValueList{Value(exception.what()), Value(plainTypeName(exception)),
                   Value("Stacktrace: " + printedCallStack())};
}

using flutter::wrapOutcome;

Value none(Void) { return Value(); }

using OperationHandler = std::function<ValueList(const Value& message)>;

// The reply list of one message: the operation's answer, or its failure wrapped.
Value answer(const OperationHandler& handler, const Value& message) {
  try {
    return Value(handler(message));
  } catch (const std::exception& exception) {
    return Value(wrapException(exception));
  }
}

// Installs `handler` (or removes the handler when null) on the operation's channel; with a work
// queue the handler runs there and its answer goes back through the main queue.
void installHandler(const std::shared_ptr<FlutterBinaryMessenger>& messenger,
                    const std::string& api, const std::string& operation, const std::string& suffix,
                    OperationHandler handler, const dispatch_queue_t& workQueue) {
  const std::string name =
      flutter::pigeonChannelName("preferences_foundation", api, operation, suffix);
  FlutterBasicMessageChannel channel(name, messenger, GetMessagesCodec());
  if (!handler) {
    channel.setMessageHandler(nullptr);
    return;
  }
  channel.setMessageHandler(
      [handler = std::move(handler), workQueue](const Value& message, FlutterReply reply) {
        if (!workQueue) {
          reply(answer(handler, message));
          return;
        }
        dispatch_async(workQueue, [handler, message, reply = std::move(reply)] {
          dispatch_async(dispatch_get_main_queue(),
                         [reply, result = answer(handler, message)] { reply(result); });
        });
      });
}

}  // namespace

// The options record.

ValueList PreferencesPigeonOptions::toList() const {
  return ValueList{suite_name_ ? Value(*suite_name_) : Value()};
}

std::optional<PreferencesPigeonOptions> PreferencesPigeonOptions::fromList(const Value& list) {
  const ValueList* items = list.asList();
  if (items == nullptr || items->empty()) return std::nullopt;
  const Value& name = (*items)[0];
  if (name.isNull()) return PreferencesPigeonOptions();
  if (name.asString() == nullptr) return std::nullopt;
  return PreferencesPigeonOptions(*name.asString());
}

bool PreferencesPigeonOptions::equals(const flutter::CustomValue& other) const {
  const auto* options = dynamic_cast<const PreferencesPigeonOptions*>(&other);
  return options != nullptr && flutter::deepEquals(Value(toList()), Value(options->toList()));
}

size_t PreferencesPigeonOptions::hash() const {
  return flutter::recordHash("PreferencesPigeonOptions", toList());
}

std::string PreferencesPigeonOptions::description() const {
  return "PreferencesPigeonOptions(suiteName: " + (suite_name_ ? *suite_name_ : "nil") + ")";
}

// The codec.

bool MessagesRecords::holds(uint8_t type) { return type == kOptionsType; }

Value MessagesRecords::read(uint8_t, const Value& fields) {
  auto options = PreferencesPigeonOptions::fromList(fields);
  if (!options) throw FlutterCodecError("PreferencesPigeonOptions must be a list [suiteName]");
  return Value(std::make_shared<const PreferencesPigeonOptions>(std::move(*options)));
}

std::optional<std::pair<uint8_t, ValueList>> MessagesRecords::write(const Value& value) {
  if (auto options = value.asCustom<PreferencesPigeonOptions>()) {
    return std::pair{kOptionsType, options->toList()};
  }
  return std::nullopt;
}

const std::shared_ptr<const FlutterStandardMessageCodec>& GetMessagesCodec() {
  return flutter::sharedPigeonCodec<MessagesPigeonCodecReader, MessagesPigeonCodecWriter>();
}

// Set-up.

void UserDefaultsApiSetup::setUpUserDefaultsApi(
    const std::shared_ptr<FlutterBinaryMessenger>& messenger, std::shared_ptr<UserDefaultsApi> api,
    const std::string& messageChannelSuffix, dispatch_queue_t workQueue) {
  const std::string kApi = "UserDefaultsApi";
  auto install = [&](const std::string& operation, OperationHandler run) {
    installHandler(messenger, kApi, operation, messageChannelSuffix,
                   api ? std::move(run) : OperationHandler(), workQueue);
  };
  install("set", [api](const Value& message) {
    MessageArguments arguments(message, 3, "set");
    const std::string* key = arguments.string(0);
    const Value* value = arguments.present(1);
    auto options = arguments.options(2);
    if (arguments.error()) return wrapError(*arguments.error());
    return wrapOutcome(api->set(*key, *value, *options), none);
  });
  install("clear", [api](const Value& message) {
    MessageArguments arguments(message, 2, "clear");
    auto allow_list = arguments.allowList(0);
    auto options = arguments.options(1);
    if (arguments.error()) return wrapError(*arguments.error());
    return wrapOutcome(api->clear(allow_list, *options), none);
  });
  install("getAll", [api](const Value& message) {
    MessageArguments arguments(message, 2, "getAll");
    auto allow_list = arguments.allowList(0);
    auto options = arguments.options(1);
    if (arguments.error()) return wrapError(*arguments.error());
    return wrapOutcome(api->getAll(allow_list, *options),
                       [](flutter::ValueMap map) { return Value(std::move(map)); });
  });
  install("getValue", [api](const Value& message) {
    MessageArguments arguments(message, 2, "getValue");
    const std::string* key = arguments.string(0);
    auto options = arguments.options(1);
    if (arguments.error()) return wrapError(*arguments.error());
    return wrapOutcome(api->getValue(*key, *options), [](Value value) { return value; });
  });
  install("getKeys", [api](const Value& message) {
    MessageArguments arguments(message, 2, "getKeys");
    auto allow_list = arguments.allowList(0);
    auto options = arguments.options(1);
    if (arguments.error()) return wrapError(*arguments.error());
    return wrapOutcome(api->getKeys(allow_list, *options),
                       [](ValueList keys) { return Value(std::move(keys)); });
  });
}

void LegacyUserDefaultsApiSetup::setUpLegacyUserDefaultsApi(
    const std::shared_ptr<FlutterBinaryMessenger>& messenger,
    std::shared_ptr<LegacyUserDefaultsApi> api, const std::string& messageChannelSuffix,
    dispatch_queue_t workQueue) {
  const std::string kApi = "LegacyUserDefaultsApi";
  auto install = [&](const std::string& operation, OperationHandler run) {
    installHandler(messenger, kApi, operation, messageChannelSuffix,
                   api ? std::move(run) : OperationHandler(), workQueue);
  };
  install("remove", [api](const Value& message) {
    MessageArguments arguments(message, 1, "remove");
    const std::string* key = arguments.string(0);
    if (arguments.error()) return wrapError(*arguments.error());
    return wrapOutcome(api->remove(*key), none);
  });
  install("setBool", [api](const Value& message) {
    MessageArguments arguments(message, 2, "setBool");
    const std::string* key = arguments.string(0);
    auto value = arguments.boolean(1);
    if (arguments.error()) return wrapError(*arguments.error());
    return wrapOutcome(api->setBool(*key, *value), none);
  });
  install("setDouble", [api](const Value& message) {
    MessageArguments arguments(message, 2, "setDouble");
    const std::string* key = arguments.string(0);
    auto value = arguments.real(1);
    if (arguments.error()) return wrapError(*arguments.error());
    return wrapOutcome(api->setDouble(*key, *value), none);
  });
  install("setValue", [api](const Value& message) {
    MessageArguments arguments(message, 2, "setValue");
    const std::string* key = arguments.string(0);
    const Value* value = arguments.present(1);
    if (arguments.error()) return wrapError(*arguments.error());
    return wrapOutcome(api->setValue(*key, *value), none);
  });
  install("getAll", [api](const Value& message) {
    MessageArguments arguments(message, 2, "getAll");
    const std::string* prefix = arguments.string(0);
    auto allow_list = arguments.allowList(1);
    if (arguments.error()) return wrapError(*arguments.error());
    return wrapOutcome(api->getAll(*prefix, allow_list),
                       [](flutter::ValueMap map) { return Value(std::move(map)); });
  });
  install("clear", [api](const Value& message) {
    MessageArguments arguments(message, 2, "clear");
    const std::string* prefix = arguments.string(0);
    auto allow_list = arguments.allowList(1);
    if (arguments.error()) return wrapError(*arguments.error());
    return wrapOutcome(api->clear(*prefix, allow_list), [](bool value) { return Value(value); });
  });
}

}  // namespace preferences_foundation
