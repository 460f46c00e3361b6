// The API "WKPreferences": page preferences. They are announced to the Dart side without fields.
#pragma once

#include <memory>
#include <vector>

#include "platform/webkit/wk_preferences.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiWKPreferences;

class PigeonApiDelegateWKPreferences {
 public:
  virtual ~PigeonApiDelegateWKPreferences() = default;
  virtual void setJavaScriptEnabled(PigeonApiWKPreferences& api, WKPreferences& pigeonInstance,
                                    bool enabled) = 0;
  virtual void setJavaScriptCanOpenWindowsAutomatically(PigeonApiWKPreferences& api,
                                                        WKPreferences& pigeonInstance,
                                                        bool enabled) = 0;
};

class PigeonApiWKPreferences final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "WKPreferences";

  PigeonApiWKPreferences(WebKitLibraryPigeonProxyApiRegistrar& registrar,
                         std::unique_ptr<PigeonApiDelegateWKPreferences> delegate)
      : PigeonProxyApi(registrar, kName), pigeon_delegate_(std::move(delegate)) {}

  PigeonApiDelegateWKPreferences& pigeonDelegate() const { return *pigeon_delegate_; }
  std::vector<PigeonHostOperation> hostOperations() override {
    using Api = PigeonApiWKPreferences;
    return {operation("setJavaScriptEnabled", &Api::setJavaScriptEnabled),
            operation("setJavaScriptCanOpenWindowsAutomatically",
                      &Api::setJavaScriptCanOpenWindowsAutomatically)};
  }

  void pigeon_newInstance(const std::shared_ptr<WKPreferences>& pigeonInstance,
                          const PigeonCompletion& completion) {
    announce(
        pigeonInstance, [] { return flutter::ValueList(); }, completion);
  }

 private:
  void setJavaScriptEnabled(const PigeonArguments& arguments, const PigeonHostReply& reply) {
    auto preferences = arguments.instance<WKPreferences>(0);
    pigeon_delegate_->setJavaScriptEnabled(*this, *preferences, arguments.boolean(1));
    reply.success();
  }
  void setJavaScriptCanOpenWindowsAutomatically(const PigeonArguments& arguments,
                                                const PigeonHostReply& reply) {
    auto preferences = arguments.instance<WKPreferences>(0);
    pigeon_delegate_->setJavaScriptCanOpenWindowsAutomatically(*this, *preferences,
                                                               arguments.boolean(1));
    reply.success();
  }

  std::unique_ptr<PigeonApiDelegateWKPreferences> pigeon_delegate_;
};

}  // namespace wkwebview_host
