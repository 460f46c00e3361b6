// The fields of a frame: whether it is the main frame, and a copy of its request in a new
// wrapper, or null for a frame without a request.
#pragma once

#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_frame_info.h"

namespace wkwebview_host {

class FrameInfoProxyAPIDelegate final : public PigeonApiDelegateWKFrameInfo {
 public:
  bool isMainFrame(PigeonApiWKFrameInfo& api, const WKFrameInfo& pigeonInstance) override;
  std::shared_ptr<URLRequestWrapper> request(PigeonApiWKFrameInfo& api,
                                             const WKFrameInfo& pigeonInstance) override;
};

}  // namespace wkwebview_host
