// Trust objects: a certificate chain evaluated against a policy by OpenSSL, with anchors (the
// system's roots unless anchors are set), a host check for TLS servers and exceptions.
//
// Exceptions are this system's own bytes naming the leaf certificate by its SHA-256 digest: set
// on a trust whose leaf has that digest, they make an otherwise recoverable failure trusted
// (result "proceed"). Objects are safe to use from several threads.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/security/cf_error.h"
#include "platform/security/sec_base.h"
#include "platform/security/sec_certificate.h"
#include "platform/security/sec_policy.h"

enum SecTrustResultType : uint32_t {
  kSecTrustResultInvalid = 0,
  kSecTrustResultProceed = 1,
  kSecTrustResultConfirm = 2,
  kSecTrustResultDeny = 3,
  kSecTrustResultUnspecified = 4,
  kSecTrustResultRecoverableTrustFailure = 5,
  kSecTrustResultFatalTrustFailure = 6,
  kSecTrustResultOtherError = 7,
};

inline constexpr OSStatus errSecHostNameMismatch = -67602;
inline constexpr OSStatus errSecCertificateExpired = -67818;
inline constexpr OSStatus errSecCertificateNotValidYet = -67819;
inline constexpr OSStatus errSecNotTrusted = -67843;

class SecTrust {
 public:
  SecTrust(std::vector<SecCertificateRef> certificates, SecPolicyRef policy);
  SecTrust(const SecTrust&) = delete;
  SecTrust& operator=(const SecTrust&) = delete;

 private:
  friend struct SecTrustAccess;

  struct Evaluation {
    bool trusted = false;
    SecTrustResultType result = kSecTrustResultInvalid;
    CFErrorRef error;
    // Leaf first, anchor last; empty when no chain could be built.
    std::vector<SecCertificateRef> chain;
  };

  mutable std::mutex mutex_;
  const std::vector<SecCertificateRef> certificates_;
  const SecPolicyRef policy_;
  std::optional<std::vector<SecCertificateRef>> anchors_;
  std::optional<CFBytes> exceptions_;
  // Dropped whenever something the outcome depends on changes.
  std::optional<Evaluation> evaluation_;
};

using SecTrustRef = std::shared_ptr<SecTrust>;

// The leaf comes first. An empty list makes a trust that never evaluates as trusted.
OSStatus SecTrustCreateWithCertificates(std::vector<SecCertificateRef> certificates,
                                        SecPolicyRef policy, SecTrustRef* trust);
// Only these roots are trusted from now on.
OSStatus SecTrustSetAnchorCertificates(const SecTrustRef& trust,
                                       std::vector<SecCertificateRef> anchors);

// Evaluates (blocking; call it off the main thread). On failure `error`, when given, receives
// an error of the OSStatus domain with a description naming the certificate.
bool SecTrustEvaluateWithError(const SecTrustRef& trust, CFErrorRef* error);
// The result of the last evaluation, evaluating first when there was none.
OSStatus SecTrustGetTrustResult(const SecTrustRef& trust, SecTrustResultType* result);

// Exceptions for the trust's leaf; none for a trust without certificates.
std::optional<CFBytes> SecTrustCopyExceptions(const SecTrustRef& trust);
// Sets exceptions copied from a trust with the same leaf, or clears them with none. Answers
// false, and sets nothing, for exceptions of another leaf or bytes that are not exceptions.
bool SecTrustSetExceptions(const SecTrustRef& trust, const std::optional<CFBytes>& exceptions);

// The evaluated chain, leaf first (the certificates as given when no chain could be built);
// none for a trust without certificates.
std::optional<std::vector<SecCertificateRef>> SecTrustCopyCertificateChain(
    const SecTrustRef& trust);
int64_t SecTrustGetCertificateCount(const SecTrustRef& trust);
// Null for an index outside the chain.
SecCertificateRef SecTrustGetCertificateAtIndex(const SecTrustRef& trust, int64_t index);
