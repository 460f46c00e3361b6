// The fields of an error: its code, its domain and its user information, every value as it is
// (a nested error is announced as an error of its own).
#pragma once

#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_ns_error.h"

namespace wkwebview_host {

class ErrorProxyAPIDelegate final : public PigeonApiDelegateNSError {
 public:
  int64_t code(PigeonApiNSError& api, const NSError& pigeonInstance) override;
  std::string domain(PigeonApiNSError& api, const NSError& pigeonInstance) override;
  flutter::ValueMap userInfo(PigeonApiNSError& api,
                             const NSError& pigeonInstance) override;
};

}  // namespace wkwebview_host
