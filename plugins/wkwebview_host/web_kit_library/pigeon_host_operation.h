// Host operations: one message channel per operation, named "dev.flutter.pigeon.wkwebview_host."
// followed by the API, a dot and the operation. A handler reads its arguments by position and
// answers once through its reply, at once or later: the one-element list of the result, or the
// error list. An error thrown by the handler is answered for it: a PigeonError or FlutterError as
// [code, message, details], anything else as [description, unqualified type name, "Stacktrace: "
// and the call stack].
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/flutter/flutter_basic_message_channel.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_arguments.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_error.h"

namespace wkwebview_host {

inline constexpr std::string_view kChannelPrefix = "dev.flutter.pigeon.wkwebview_host.";

// "dev.flutter.pigeon.wkwebview_host.<api>.<operation>".
std::string channelName(std::string_view api, std::string_view operation);

// The answer to one host operation. Copies share it; it answers once.
class PigeonHostReply {
 public:
  explicit PigeonHostReply(FlutterReply reply);

  void success(flutter::Value result = flutter::Value()) const;
  void failure(const PigeonError& error) const;
  void failure(const FlutterError& error) const;
  void failure(const std::exception& error) const;
  bool answered() const;

 private:
  struct State;
  std::shared_ptr<State> state_;
};

using PigeonHostHandler =
    std::function<void(const PigeonArguments& arguments, const PigeonHostReply& reply)>;

// One row of an API's table of host operations.
struct PigeonHostOperation {
  std::string name;
  PigeonHostHandler handler;
};

void installHostOperation(const std::shared_ptr<FlutterBinaryMessenger>& messenger,
                          const std::string& channel,
                          std::shared_ptr<const FlutterMessageCodec> codec,
                          PigeonHostHandler handler);
void removeHostOperation(const std::shared_ptr<FlutterBinaryMessenger>& messenger,
                         const std::string& channel);

}  // namespace wkwebview_host
