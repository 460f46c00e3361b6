#include "platform/security/testing/trust_controls.h"

#include <mutex>

#include "platform/security/internal/trust_overrides.h"

namespace security {
namespace {

// Evaluations run on worker threads, so the controls are guarded.
struct TrustControls {
  std::mutex mutex;
  std::optional<internal::TrustEvaluationOverride> evaluation;
  std::optional<std::pair<uint32_t, OSStatus>> result;
  std::optional<std::vector<SecCertificateRef>> chain;
};

TrustControls& controls() {
  static TrustControls instance;
  return instance;
}

template <typename T>
void store(std::optional<T> TrustControls::*field, std::optional<T> value) {
  std::lock_guard lock(controls().mutex);
  controls().*field = std::move(value);
}

template <typename T>
std::optional<T> load(std::optional<T> TrustControls::*field) {
  std::lock_guard lock(controls().mutex);
  return controls().*field;
}

}  // namespace

namespace internal {

std::optional<TrustEvaluationOverride> trustEvaluationOverride() {
  return load(&TrustControls::evaluation);
}
std::optional<std::pair<uint32_t, OSStatus>> trustResultOverride() {
  return load(&TrustControls::result);
}
std::optional<std::vector<SecCertificateRef>> certificateChainOverride() {
  return load(&TrustControls::chain);
}

}  // namespace internal

namespace testing {

void setTrustEvaluationOutcome(bool trusted, SecTrustResultType result, CFErrorRef error) {
  store(&TrustControls::evaluation,
        std::optional(internal::TrustEvaluationOverride{trusted, result, std::move(error)}));
}
void clearTrustEvaluationOutcome() {
  store(&TrustControls::evaluation, std::optional<internal::TrustEvaluationOverride>());
}
void setTrustResult(uint32_t result, OSStatus status) {
  store(&TrustControls::result, std::optional(std::pair(result, status)));
}
void clearTrustResult() {
  store(&TrustControls::result, std::optional<std::pair<uint32_t, OSStatus>>());
}
void setCertificateChain(std::vector<SecCertificateRef> chain) {
  store(&TrustControls::chain, std::optional(std::move(chain)));
}
void clearCertificateChain() {
  store(&TrustControls::chain, std::optional<std::vector<SecCertificateRef>>());
}

void resetTrustControls() {
  clearTrustEvaluationOutcome();
  clearTrustResult();
  clearCertificateChain();
}

}  // namespace testing
}  // namespace security
