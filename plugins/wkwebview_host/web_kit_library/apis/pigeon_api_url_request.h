// The API "URLRequest": requests, each held by a URLRequestWrapper. They are announced to the Dart
// side without fields.
#pragma once

#include <memory>

#include "plugins/wkwebview_host/url_request_wrapper.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiURLRequest final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "URLRequest";

  explicit PigeonApiURLRequest(WebKitLibraryPigeonProxyApiRegistrar& registrar)
      : PigeonProxyApi(registrar, kName) {}

  void pigeon_newInstance(const std::shared_ptr<URLRequestWrapper>& pigeonInstance,
                          const PigeonCompletion& completion) {
    announce(
        pigeonInstance, [] { return flutter::ValueList(); }, completion);
  }
};

}  // namespace wkwebview_host
