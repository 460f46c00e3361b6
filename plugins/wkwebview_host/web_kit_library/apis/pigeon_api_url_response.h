// The API "URLResponse": URL responses that are not HTTP responses. They are announced to the Dart
// side without fields.
#pragma once

#include <memory>

#include "platform/foundation/ns_url_response.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiURLResponse final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "URLResponse";

  explicit PigeonApiURLResponse(WebKitLibraryPigeonProxyApiRegistrar& registrar)
      : PigeonProxyApi(registrar, kName) {}

  void pigeon_newInstance(const std::shared_ptr<NSURLResponse>& pigeonInstance,
                          const PigeonCompletion& completion) {
    announce(
        pigeonInstance, [] { return flutter::ValueList(); }, completion);
  }
};

}  // namespace wkwebview_host
