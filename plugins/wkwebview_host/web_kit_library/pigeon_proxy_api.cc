#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

#include "platform/flutter/flutter_basic_message_channel.h"
#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_internal_proxy_api_codec_reader_writer.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api_registrar.h"

namespace wkwebview_host {

std::vector<std::string> PigeonProxyApi::setUpMessageHandlers(
    const std::shared_ptr<FlutterBinaryMessenger>& binaryMessenger,
    const std::shared_ptr<PigeonProxyApi>& api) {
  std::vector<std::string> channels;
  auto operations = api->hostOperations();
  if (operations.empty()) return channels;
  auto codec = std::make_shared<FlutterStandardMessageCodec>(
      std::make_shared<WebKitLibraryPigeonInternalProxyApiCodecReaderWriter>(
          api->pigeonRegistrar().weak_from_this()));
  for (auto& operation : operations) {
    std::string channel = channelName(api->apiName(), operation.name);
    // The handler keeps its API alive.
    installHostOperation(binaryMessenger, channel, codec,
                         [api, handler = std::move(operation.handler)](
                             const PigeonArguments& arguments, const PigeonHostReply& reply) {
                           handler(arguments, reply);
                         });
    channels.push_back(std::move(channel));
  }
  return channels;
}

void PigeonProxyApi::announce(const std::shared_ptr<NSObject>& pigeonInstance,
                              const std::function<flutter::ValueList()>& readFields,
                              const PigeonCompletion& completion) {
  auto& registrar = pigeonRegistrar();
  if (registrar.ignoreCallsToDart()) {
    completion(PigeonError::ignoreCallsError());
    return;
  }
  auto& instances = *registrar.instanceManager();
  if (!pigeonInstance || instances.isRegistered(*pigeonInstance)) {
    completion(flutter::Value());
    return;
  }
  flutter::ValueList message{flutter::Value(instances.registerHostObject(pigeonInstance))};
  for (auto& field : readFields()) message.push_back(std::move(field));
  send(channelName(apiName(), "pigeon_newInstance"), std::move(message), DartReturn::none,
       completion);
}

void PigeonProxyApi::callDart(std::string_view operation,
                              const std::shared_ptr<NSObject>& pigeonInstance,
                              flutter::ValueList arguments, DartReturn expected,
                              PigeonCompletion completion) {
  auto& registrar = pigeonRegistrar();
  if (registrar.ignoreCallsToDart()) {
    completion(PigeonError::ignoreCallsError());
    return;
  }
  if (!pigeonInstance || !registrar.instanceManager()->isRegistered(*pigeonInstance)) {
    completion(PigeonError::missingInstanceError(apiName() + "." + std::string(operation)));
    return;
  }
  arguments.insert(arguments.begin(), objectValue(pigeonInstance));
  send(channelName(apiName(), operation), std::move(arguments), expected, std::move(completion));
}

void PigeonProxyApi::send(const std::string& channel, flutter::ValueList message,
                          DartReturn expected, PigeonCompletion completion) {
  auto& registrar = pigeonRegistrar();
  FlutterBasicMessageChannel(channel, registrar.binaryMessenger(), registrar.codec())
      .sendMessage(flutter::Value(std::move(message)),
                   [channel, expected, completion = std::move(completion)](
                       const std::optional<flutter::Value>& reply) {
                     completion(interpretDartReply(reply, channel, expected));
                   });
}

}  // namespace wkwebview_host
