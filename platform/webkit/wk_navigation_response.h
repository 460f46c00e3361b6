// The response of a navigation, asked about in the response policy decision.
#pragma once

#include <memory>

#include "platform/webkit/ns_url_response.h"

class WKNavigationResponse : public foundation::NSObject {
 public:
  WKNavigationResponse(std::shared_ptr<foundation::NSURLResponse> response, bool forMainFrame)
      : response_(std::move(response)), for_main_frame_(forMainFrame) {}

  const std::shared_ptr<foundation::NSURLResponse>& response() const { return response_; }
  bool isForMainFrame() const { return for_main_frame_; }

 private:
  std::shared_ptr<foundation::NSURLResponse> response_;
  bool for_main_frame_;
};
