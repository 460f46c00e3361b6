#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_script_message_handler.h"

#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api_registrar.h"

namespace wkwebview_host {

void PigeonApiWKScriptMessageHandler::pigeonDefaultConstructor(const PigeonArguments& arguments,
                                                               const PigeonHostReply& reply) {
  int64_t identifier = arguments.identifier(0);
  pigeonRegistrar().instanceManager()->registerDartObject(
      pigeon_delegate_->pigeonDefaultConstructor(*this), identifier);
  reply.success();
}

void PigeonApiWKScriptMessageHandler::didReceiveScriptMessage(
    const std::shared_ptr<NSObject>& pigeonInstance,
    const std::shared_ptr<WKUserContentController>& controller,
    const std::shared_ptr<WKScriptMessage>& message, PigeonCompletion completion) {
  callDart("didReceiveScriptMessage", pigeonInstance,
           flutter::ValueList{objectValue(controller), objectValue(message)}, DartReturn::none,
           std::move(completion));
}

}  // namespace wkwebview_host
