#include "plugins/wkwebview_host/web_kit_library/pigeon_host_operation.h"

#include <atomic>

#include "platform/flutter/flutter_message_envelope.h"
#include "plugins/wkwebview_host/web_kit_library/type_names.h"

namespace wkwebview_host {

std::string channelName(std::string_view api, std::string_view operation) {
  std::string name(kChannelPrefix);
  name.append(api).append(".").append(operation);
  return name;
}

struct PigeonHostReply::State {
  explicit State(FlutterReply reply) : reply(std::move(reply)) {}
  FlutterReply reply;
  std::atomic<bool> answered{false};
};

PigeonHostReply::PigeonHostReply(FlutterReply reply)
    : state_(std::make_shared<State>(std::move(reply))) {}

// A second answer is passed on too, so that the channel reports it as the fault it is.
void PigeonHostReply::success(flutter::Value result) const {
  state_->answered.store(true);
  state_->reply(flutter::Value(flutter::wrapResult(std::move(result))));
}

void PigeonHostReply::failure(const PigeonError& error) const { failure(error.toFlutterError()); }

void PigeonHostReply::failure(const FlutterError& error) const {
  state_->answered.store(true);
  state_->reply(flutter::Value(flutter::wrapError(error)));
}

void PigeonHostReply::failure(const std::exception& error) const {
  state_->answered.store(true);
  state_->reply(flutter::Value(flutter::ValueList{
      flutter::Value(error.what()), flutter::Value(unqualifiedTypeName(typeid(error))),
      flutter::Value("Stacktrace: " + flutter::currentStackTrace())}));
}

bool PigeonHostReply::answered() const { return state_->answered.load(); }

void installHostOperation(const std::shared_ptr<FlutterBinaryMessenger>& messenger,
                          const std::string& channel,
                          std::shared_ptr<const FlutterMessageCodec> codec,
                          PigeonHostHandler handler) {
  std::string method = channel.substr(std::min(channel.size(), kChannelPrefix.size()));
  FlutterBasicMessageChannel(channel, messenger, std::move(codec))
      .setMessageHandler([method = std::move(method), handler = std::move(handler)](
                             const flutter::Value& message, FlutterReply reply) {
        PigeonHostReply host_reply(std::move(reply));
        // A handler that fails after answering has nothing more to say.
        try {
          handler(PigeonArguments(method, message), host_reply);
        } catch (const PigeonError& error) {
          if (!host_reply.answered()) host_reply.failure(error);
        } catch (const FlutterError& error) {
          if (!host_reply.answered()) host_reply.failure(error);
        } catch (const std::exception& error) {
          if (!host_reply.answered()) host_reply.failure(error);
        }
      });
}

void removeHostOperation(const std::shared_ptr<FlutterBinaryMessenger>& messenger,
                         const std::string& channel) {
  FlutterBasicMessageChannel(channel, messenger).setMessageHandler(nullptr);
}

}  // namespace wkwebview_host
