// The field of an HTTP response: its status code.
#pragma once

#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_http_url_response.h"

namespace wkwebview_host {

class HTTPURLResponseProxyAPIDelegate final : public PigeonApiDelegateHTTPURLResponse {
 public:
  int64_t statusCode(PigeonApiHTTPURLResponse& /*api*/,
                     const NSHTTPURLResponse& pigeonInstance) override {
    return pigeonInstance.statusCode();
  }
};

}  // namespace wkwebview_host
