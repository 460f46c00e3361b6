// The result of reading a trust's evaluation: the trust result type and the status returned with
// it.
#pragma once

#include <cstdint>

#include "platform/foundation/ns_object.h"

namespace wkwebview_host {

class GetTrustResultResponse final : public NSObject {
 public:
  // `result` is a trust result type of the Security framework (invalid 0 to other error 7);
  // `resultCode` its status code.
  GetTrustResultResponse(uint32_t result, int32_t resultCode)
      : result_(result), result_code_(resultCode) {}

  uint32_t result() const { return result_; }
  int32_t resultCode() const { return result_code_; }

 private:
  const uint32_t result_;
  const int32_t result_code_;
};

}  // namespace wkwebview_host
