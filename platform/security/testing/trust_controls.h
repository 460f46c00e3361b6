// Test controls of trust evaluation: the outcome every evaluation gives, the result value and
// status that reading the result gives, and the chain every trust reports.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/security/sec_trust.h"

namespace security::testing {

// Every evaluation gives this outcome until cleared; `error` is handed out as the evaluation's
// error, when set.
void setTrustEvaluationOutcome(bool trusted, SecTrustResultType result, CFErrorRef error);
void clearTrustEvaluationOutcome();
// SecTrustGetTrustResult answers `status` and sets `result` (any value, also one outside the
// platform's eight) without evaluating.
void setTrustResult(uint32_t result, OSStatus status);
void clearTrustResult();
// Every trust reports this chain (an empty one, for instance).
void setCertificateChain(std::vector<SecCertificateRef> chain);
void clearCertificateChain();

void resetTrustControls();

}  // namespace security::testing
