#include "plugins/wkwebview_host/frame_info_proxy_api_delegate.h"

namespace wkwebview_host {

bool FrameInfoProxyAPIDelegate::isMainFrame(PigeonApiWKFrameInfo&,
                                            const WKFrameInfo& pigeonInstance) {
  return pigeonInstance.isMainFrame();
}

std::shared_ptr<URLRequestWrapper> FrameInfoProxyAPIDelegate::request(
    PigeonApiWKFrameInfo&, const WKFrameInfo& pigeonInstance) {
  const auto& request = pigeonInstance.request();
  if (!request) return nullptr;
  return makeObject<URLRequestWrapper>(*request);
}

}  // namespace wkwebview_host
