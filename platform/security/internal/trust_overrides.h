// What the trust controls of the tests have set, read by the trust functions.
#pragma once

#include <optional>
#include <utility>
#include <vector>

#include "platform/security/sec_trust.h"

namespace security::internal {

struct TrustEvaluationOverride {
  bool trusted = false;
  SecTrustResultType result = kSecTrustResultInvalid;
  CFErrorRef error;
};

std::optional<TrustEvaluationOverride> trustEvaluationOverride();
// The result value and the status that SecTrustGetTrustResult answers.
std::optional<std::pair<uint32_t, OSStatus>> trustResultOverride();
std::optional<std::vector<SecCertificateRef>> certificateChainOverride();

}  // namespace security::internal
