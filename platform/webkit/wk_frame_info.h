// A frame of a page, as WebKit describes it to delegates.
#pragma once

#include <memory>
#include <optional>

#include "platform/foundation/url_request.h"
#include "platform/webkit/wk_security_origin.h"

class WKFrameInfo : public NSObject {
 public:
  // A frame that has not started loading has no request.
  WKFrameInfo(bool mainFrame, std::optional<URLRequest> request,
              std::shared_ptr<WKSecurityOrigin> securityOrigin)
      : main_frame_(mainFrame),
        request_(std::move(request)),
        security_origin_(std::move(securityOrigin)) {}

  bool isMainFrame() const { return main_frame_; }
  const std::optional<URLRequest>& request() const { return request_; }
  const std::shared_ptr<WKSecurityOrigin>& securityOrigin() const { return security_origin_; }

 private:
  bool main_frame_;
  std::optional<URLRequest> request_;
  std::shared_ptr<WKSecurityOrigin> security_origin_;
};
