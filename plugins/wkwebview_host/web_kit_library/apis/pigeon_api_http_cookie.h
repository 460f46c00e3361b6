// The API "HTTPCookie": cookies. They are announced to the Dart side without fields.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "platform/webkit/ns_http_cookie.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_enumerations.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiHTTPCookie;

class PigeonApiDelegateHTTPCookie {
 public:
  // Property keys with their values, in the order they came.
  using Properties = std::vector<std::pair<HttpCookiePropertyKey, flutter::Value>>;

  virtual ~PigeonApiDelegateHTTPCookie() = default;
  virtual std::shared_ptr<NSHTTPCookie> pigeonDefaultConstructor(
      PigeonApiHTTPCookie& api, const Properties& properties) = 0;
  virtual std::optional<Properties> getProperties(
      PigeonApiHTTPCookie& api, const NSHTTPCookie& pigeonInstance) = 0;
};

class PigeonApiHTTPCookie final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "HTTPCookie";

  PigeonApiHTTPCookie(WebKitLibraryPigeonProxyApiRegistrar& registrar,
                      std::unique_ptr<PigeonApiDelegateHTTPCookie> delegate)
      : PigeonProxyApi(registrar, kName), pigeon_delegate_(std::move(delegate)) {}

  PigeonApiDelegateHTTPCookie& pigeonDelegate() const { return *pigeon_delegate_; }
  std::vector<PigeonHostOperation> hostOperations() override;

  void pigeon_newInstance(const std::shared_ptr<NSHTTPCookie>& pigeonInstance,
                          const PigeonCompletion& completion) {
    announce(
        pigeonInstance, [] { return flutter::ValueList(); }, completion);
  }

 private:
  void pigeonDefaultConstructor(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void getProperties(const PigeonArguments& arguments, const PigeonHostReply& reply);

  std::unique_ptr<PigeonApiDelegateHTTPCookie> pigeon_delegate_;
};

}  // namespace wkwebview_host
