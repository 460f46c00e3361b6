// The API "URLCredential": credentials. They are announced to the Dart side without fields.
#pragma once

#include <memory>

#include "platform/webkit/ns_url_credential.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiURLCredential final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "URLCredential";

  explicit PigeonApiURLCredential(WebKitLibraryPigeonProxyApiRegistrar& registrar)
      : PigeonProxyApi(registrar, kName) {}

  void pigeon_newInstance(const std::shared_ptr<foundation::NSURLCredential>& pigeonInstance,
                          const PigeonCompletion& completion) {
    announce(
        pigeonInstance, [] { return flutter::ValueList(); }, completion);
  }
};

}  // namespace wkwebview_host
