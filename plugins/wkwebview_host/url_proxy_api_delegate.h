// URLs as the Dart side reads them: their absolute text.
#pragma once

#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_url.h"

namespace wkwebview_host {

class URLProxyAPIDelegate final : public PigeonApiDelegateURL {
 public:
  std::string getAbsoluteString(PigeonApiURL& /*api*/,
                                const NSURL& pigeonInstance) override {
    return pigeonInstance.absoluteString();
  }
};

}  // namespace wkwebview_host
