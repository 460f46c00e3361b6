#include "plugins/wkwebview_host/web_kit_library/pigeon_instance_manager_api.h"

#include "platform/flutter/flutter_basic_message_channel.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_arguments.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_dart_reply.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_host_operation.h"
#include "plugins/wkwebview_host/web_kit_library/web_kit_library_pigeon_codec.h"

namespace wkwebview_host {

void WebKitLibraryPigeonInstanceManagerApi::setUpMessageHandlers(
    const std::shared_ptr<FlutterBinaryMessenger>& binaryMessenger,
    const std::shared_ptr<WebKitLibraryPigeonInstanceManager>& instanceManager) {
  const auto& codec = WebKitLibraryPigeonCodec::sharedInstance();
  if (!instanceManager) {
    removeHostOperation(binaryMessenger, kRemoveStrongReferenceChannel);
    removeHostOperation(binaryMessenger, kClearChannel);
    return;
  }
  std::weak_ptr<WebKitLibraryPigeonInstanceManager> manager = instanceManager;
  installHostOperation(binaryMessenger, kRemoveStrongReferenceChannel, codec,
                       [manager](const PigeonArguments& arguments, const PigeonHostReply& reply) {
                         int64_t identifier = arguments.identifier(0);
                         if (auto instances = manager.lock()) {
                           // The dropped object may be released right here, outside the manager's
                           // queue.
                           instances->dropStrongReference(identifier);
                         }
                         reply.success();
                       });
  installHostOperation(binaryMessenger, kClearChannel, codec,
                       [manager](const PigeonArguments&, const PigeonHostReply& reply) {
                         if (auto instances = manager.lock()) instances->clearAll();
                         reply.success();
                       });
}

void WebKitLibraryPigeonInstanceManagerApi::removeStrongReference(
    int64_t identifier, std::function<void(const PigeonResult&)> completion) {
  auto messenger = binary_messenger_.lock();
  if (!messenger) {
    if (completion) completion(PigeonError::connectionError(kRemoveStrongReferenceChannel));
    return;
  }
  FlutterBasicMessageChannel channel(kRemoveStrongReferenceChannel, std::move(messenger),
                                     WebKitLibraryPigeonCodec::sharedInstance());
  channel.sendMessage(
      flutter::ValueList{flutter::Value(identifier)},
      [completion = std::move(completion)](const std::optional<flutter::Value>& reply) {
        PigeonResult result =
            interpretDartReply(reply, kRemoveStrongReferenceChannel, DartReturn::none);
        if (completion) completion(result);
      });
}

}  // namespace wkwebview_host
