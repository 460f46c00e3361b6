// The API "WKUserContentController": user content controllers. They are announced to the Dart side
// without fields.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/webkit/wk_user_content_controller.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiWKUserContentController;

class PigeonApiDelegateWKUserContentController {
 public:
  using Api = PigeonApiWKUserContentController;
  using Controller = WKUserContentController;

  virtual ~PigeonApiDelegateWKUserContentController() = default;
  virtual void addScriptMessageHandler(Api& api, Controller& pigeonInstance,
                                       std::shared_ptr<WKScriptMessageHandler> handler,
                                       const std::string& name) = 0;
  virtual void removeScriptMessageHandler(Api& api, Controller& pigeonInstance,
                                          const std::string& name) = 0;
  virtual void removeAllScriptMessageHandlers(Api& api, Controller& pigeonInstance) = 0;
  virtual void addUserScript(Api& api, Controller& pigeonInstance,
                             std::shared_ptr<WKUserScript> userScript) = 0;
  virtual void removeAllUserScripts(Api& api, Controller& pigeonInstance) = 0;
};

class PigeonApiWKUserContentController final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "WKUserContentController";

  PigeonApiWKUserContentController(
      WebKitLibraryPigeonProxyApiRegistrar& registrar,
      std::unique_ptr<PigeonApiDelegateWKUserContentController> delegate)
      : PigeonProxyApi(registrar, kName), pigeon_delegate_(std::move(delegate)) {}

  PigeonApiDelegateWKUserContentController& pigeonDelegate() const { return *pigeon_delegate_; }
  std::vector<PigeonHostOperation> hostOperations() override;

  void pigeon_newInstance(const std::shared_ptr<WKUserContentController>& pigeonInstance,
                          const PigeonCompletion& completion) {
    announce(
        pigeonInstance, [] { return flutter::ValueList(); }, completion);
  }

 private:
  void addScriptMessageHandler(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void removeScriptMessageHandler(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void removeAllScriptMessageHandlers(const PigeonArguments& arguments,
                                      const PigeonHostReply& reply);
  void addUserScript(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void removeAllUserScripts(const PigeonArguments& arguments, const PigeonHostReply& reply);

  std::unique_ptr<PigeonApiDelegateWKUserContentController> pigeon_delegate_;
};

}  // namespace wkwebview_host
