// The response of a navigation, asked about in the response policy decision.
#pragma once

#include <memory>

#include "platform/foundation/ns_url_response.h"

class WKNavigationResponse : public NSObject {
 public:
  WKNavigationResponse(std::shared_ptr<NSURLResponse> response, bool forMainFrame)
      : response_(std::move(response)), for_main_frame_(forMainFrame) {}

  const std::shared_ptr<NSURLResponse>& response() const { return response_; }
  bool isForMainFrame() const { return for_main_frame_; }

 private:
  std::shared_ptr<NSURLResponse> response_;
  bool for_main_frame_;
};
