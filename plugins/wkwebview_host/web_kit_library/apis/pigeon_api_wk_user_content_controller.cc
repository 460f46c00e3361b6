#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_user_content_controller.h"

namespace wkwebview_host {

using Controller = WKUserContentController;

std::vector<PigeonHostOperation> PigeonApiWKUserContentController::hostOperations() {
  using Api = PigeonApiWKUserContentController;
  return {operation("addScriptMessageHandler", &Api::addScriptMessageHandler),
          operation("removeScriptMessageHandler", &Api::removeScriptMessageHandler),
          operation("removeAllScriptMessageHandlers", &Api::removeAllScriptMessageHandlers),
          operation("addUserScript", &Api::addUserScript),
          operation("removeAllUserScripts", &Api::removeAllUserScripts)};
}

void PigeonApiWKUserContentController::addScriptMessageHandler(const PigeonArguments& arguments,
                                                               const PigeonHostReply& reply) {
  auto controller = arguments.instance<Controller>(0);
  auto handler = arguments.instance<WKScriptMessageHandler>(1);
  pigeon_delegate_->addScriptMessageHandler(*this, *controller, std::move(handler),
                                            arguments.string(2));
  reply.success();
}

void PigeonApiWKUserContentController::removeScriptMessageHandler(const PigeonArguments& arguments,
                                                                  const PigeonHostReply& reply) {
  auto controller = arguments.instance<Controller>(0);
  pigeon_delegate_->removeScriptMessageHandler(*this, *controller, arguments.string(1));
  reply.success();
}

void PigeonApiWKUserContentController::removeAllScriptMessageHandlers(
    const PigeonArguments& arguments, const PigeonHostReply& reply) {
  pigeon_delegate_->removeAllScriptMessageHandlers(*this, *arguments.instance<Controller>(0));
  reply.success();
}

void PigeonApiWKUserContentController::addUserScript(const PigeonArguments& arguments,
                                                     const PigeonHostReply& reply) {
  auto controller = arguments.instance<Controller>(0);
  pigeon_delegate_->addUserScript(*this, *controller, arguments.instance<WKUserScript>(1));
  reply.success();
}

void PigeonApiWKUserContentController::removeAllUserScripts(const PigeonArguments& arguments,
                                                            const PigeonHostReply& reply) {
  pigeon_delegate_->removeAllUserScripts(*this, *arguments.instance<Controller>(0));
  reply.success();
}

}  // namespace wkwebview_host
