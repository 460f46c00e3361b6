// The API "WKFrameInfo": frames, announced to the Dart side with `isMainFrame`, `request`.
#pragma once

#include <memory>

#include "platform/webkit/wk_frame_info.h"
#include "plugins/wkwebview_host/url_request_wrapper.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_enumerations.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiWKFrameInfo;

// Reads the announced fields of an object.
class PigeonApiDelegateWKFrameInfo {
 public:
  virtual ~PigeonApiDelegateWKFrameInfo() = default;
  virtual bool isMainFrame(PigeonApiWKFrameInfo& api, const WKFrameInfo& pigeonInstance) = 0;
  virtual std::shared_ptr<URLRequestWrapper> request(PigeonApiWKFrameInfo& api,
                                                     const WKFrameInfo& pigeonInstance) = 0;
};

class PigeonApiWKFrameInfo final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "WKFrameInfo";

  PigeonApiWKFrameInfo(WebKitLibraryPigeonProxyApiRegistrar& registrar,
                       std::unique_ptr<PigeonApiDelegateWKFrameInfo> delegate)
      : PigeonProxyApi(registrar, kName), pigeon_delegate_(std::move(delegate)) {}

  PigeonApiDelegateWKFrameInfo& pigeonDelegate() const { return *pigeon_delegate_; }

  void pigeon_newInstance(const std::shared_ptr<WKFrameInfo>& pigeonInstance,
                          const PigeonCompletion& completion);

 private:
  std::unique_ptr<PigeonApiDelegateWKFrameInfo> pigeon_delegate_;
};

}  // namespace wkwebview_host
