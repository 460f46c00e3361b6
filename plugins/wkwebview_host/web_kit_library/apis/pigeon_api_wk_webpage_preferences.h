// The API "WKWebpagePreferences": the preferences of one navigation's page. They are announced to
// the Dart side without fields.
#pragma once

#include <memory>
#include <vector>

#include "platform/webkit/wk_webpage_preferences.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiWKWebpagePreferences;

class PigeonApiDelegateWKWebpagePreferences {
 public:
  virtual ~PigeonApiDelegateWKWebpagePreferences() = default;
  virtual void setAllowsContentJavaScript(PigeonApiWKWebpagePreferences& api,
                                          WKWebpagePreferences& pigeonInstance, bool allow) = 0;
};

class PigeonApiWKWebpagePreferences final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "WKWebpagePreferences";

  PigeonApiWKWebpagePreferences(WebKitLibraryPigeonProxyApiRegistrar& registrar,
                                std::unique_ptr<PigeonApiDelegateWKWebpagePreferences> delegate)
      : PigeonProxyApi(registrar, kName), pigeon_delegate_(std::move(delegate)) {}

  PigeonApiDelegateWKWebpagePreferences& pigeonDelegate() const { return *pigeon_delegate_; }
  std::vector<PigeonHostOperation> hostOperations() override {
    return {operation("setAllowsContentJavaScript",
                      &PigeonApiWKWebpagePreferences::setAllowsContentJavaScript)};
  }

  void pigeon_newInstance(const std::shared_ptr<WKWebpagePreferences>& pigeonInstance,
                          const PigeonCompletion& completion) {
    announce(
        pigeonInstance, [] { return flutter::ValueList(); }, completion);
  }

 private:
  void setAllowsContentJavaScript(const PigeonArguments& arguments, const PigeonHostReply& reply) {
    auto preferences = arguments.instance<WKWebpagePreferences>(0);
    pigeon_delegate_->setAllowsContentJavaScript(*this, *preferences, arguments.boolean(1));
    reply.success();
  }

  std::unique_ptr<PigeonApiDelegateWKWebpagePreferences> pigeon_delegate_;
};

}  // namespace wkwebview_host
