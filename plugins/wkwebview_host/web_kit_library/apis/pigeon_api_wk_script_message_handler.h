// The API "WKScriptMessageHandler": handlers of the messages that page scripts post. The Dart side
// creates them; the host calls "didReceiveScriptMessage" on the Dart side for each message.
#pragma once

#include <memory>
#include <vector>

#include "platform/webkit/wk_script_message.h"
#include "platform/webkit/wk_script_message_handler.h"
#include "platform/webkit/wk_user_content_controller.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiWKScriptMessageHandler;

class PigeonApiDelegateWKScriptMessageHandler {
 public:
  virtual ~PigeonApiDelegateWKScriptMessageHandler() = default;
  virtual std::shared_ptr<NSObject> pigeonDefaultConstructor(
      PigeonApiWKScriptMessageHandler& api) = 0;
};

// The calls to the Dart side that a handler makes.
class PigeonApiProtocolWKScriptMessageHandler {
 public:
  virtual ~PigeonApiProtocolWKScriptMessageHandler() = default;
  virtual void didReceiveScriptMessage(const std::shared_ptr<NSObject>& pigeonInstance,
                                       const std::shared_ptr<WKUserContentController>& controller,
                                       const std::shared_ptr<WKScriptMessage>& message,
                                       PigeonCompletion completion) = 0;
};

class PigeonApiWKScriptMessageHandler final : public PigeonProxyApi,
                                              public PigeonApiProtocolWKScriptMessageHandler {
 public:
  static constexpr const char* kName = "WKScriptMessageHandler";

  PigeonApiWKScriptMessageHandler(WebKitLibraryPigeonProxyApiRegistrar& registrar,
                                  std::unique_ptr<PigeonApiDelegateWKScriptMessageHandler> delegate)
      : PigeonProxyApi(registrar, kName), pigeon_delegate_(std::move(delegate)) {}

  PigeonApiDelegateWKScriptMessageHandler& pigeonDelegate() const { return *pigeon_delegate_; }
  std::vector<PigeonHostOperation> hostOperations() override {
    return {operation("pigeon_defaultConstructor",
                      &PigeonApiWKScriptMessageHandler::pigeonDefaultConstructor)};
  }

  void didReceiveScriptMessage(const std::shared_ptr<NSObject>& pigeonInstance,
                               const std::shared_ptr<WKUserContentController>& controller,
                               const std::shared_ptr<WKScriptMessage>& message,
                               PigeonCompletion completion) override;

 private:
  void pigeonDefaultConstructor(const PigeonArguments& arguments, const PigeonHostReply& reply);

  std::unique_ptr<PigeonApiDelegateWKScriptMessageHandler> pigeon_delegate_;
};

}  // namespace wkwebview_host
