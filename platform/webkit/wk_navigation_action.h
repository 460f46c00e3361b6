// What caused a navigation, asked about in the navigation policy decision.
#pragma once

#include <memory>

#include "platform/foundation/url_request.h"
#include "platform/webkit/wk_frame_info.h"

// Values other than these may come from newer systems.
enum WKNavigationType : int64_t {
  WKNavigationTypeLinkActivated = 0,
  WKNavigationTypeFormSubmitted = 1,
  WKNavigationTypeBackForward = 2,
  WKNavigationTypeReload = 3,
  WKNavigationTypeFormResubmitted = 4,
  WKNavigationTypeOther = -1,
};

class WKNavigationAction : public NSObject {
 public:
  // A navigation that opens a new window has no target frame.
  WKNavigationAction(URLRequest request, std::shared_ptr<WKFrameInfo> targetFrame,
                     WKNavigationType navigationType)
      : request_(std::move(request)),
        target_frame_(std::move(targetFrame)),
        navigation_type_(navigationType) {}

  const URLRequest& request() const { return request_; }
  const std::shared_ptr<WKFrameInfo>& targetFrame() const { return target_frame_; }
  WKNavigationType navigationType() const { return navigation_type_; }

 private:
  URLRequest request_;
  std::shared_ptr<WKFrameInfo> target_frame_;
  WKNavigationType navigation_type_;
};
