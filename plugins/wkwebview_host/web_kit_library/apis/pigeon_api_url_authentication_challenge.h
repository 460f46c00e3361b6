// The API "URLAuthenticationChallenge": authentication challenges. They are announced to the Dart
// side without fields.
#pragma once

#include <memory>

#include "platform/webkit/ns_url_authentication_challenge.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiURLAuthenticationChallenge final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "URLAuthenticationChallenge";

  explicit PigeonApiURLAuthenticationChallenge(WebKitLibraryPigeonProxyApiRegistrar& registrar)
      : PigeonProxyApi(registrar, kName) {}

  void pigeon_newInstance(
      const std::shared_ptr<foundation::NSURLAuthenticationChallenge>& pigeonInstance,
      const PigeonCompletion& completion) {
    announce(
        pigeonInstance, [] { return flutter::ValueList(); }, completion);
  }
};

}  // namespace wkwebview_host
