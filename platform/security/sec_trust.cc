#include "platform/security/sec_trust.h"

#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <array>

#include "platform/security/internal/p256.h"
#include "platform/security/internal/trust_overrides.h"

namespace {

// "STEX", a version byte, then the SHA-256 digest of the leaf's DER bytes.
constexpr std::array<uint8_t, 5> kExceptionsHeader = {'S', 'T', 'E', 'X', 1};

template <typename T, void (*release)(T*)>
struct Releaser {
  void operator()(T* object) const { release(object); }
};
using StorePtr = std::unique_ptr<X509_STORE, Releaser<X509_STORE, X509_STORE_free>>;
using ContextPtr = std::unique_ptr<X509_STORE_CTX, Releaser<X509_STORE_CTX, X509_STORE_CTX_free>>;

void freeCertificateStack(STACK_OF(X509) * stack) { sk_X509_free(stack); }
void freeCertificateStackAndItems(STACK_OF(X509) * stack) { sk_X509_pop_free(stack, X509_free); }
using StackPtr = std::unique_ptr<STACK_OF(X509), Releaser<STACK_OF(X509), freeCertificateStack>>;
using OwnedStackPtr =
    std::unique_ptr<STACK_OF(X509), Releaser<STACK_OF(X509), freeCertificateStackAndItems>>;

X509* x509Of(const SecCertificateRef& certificate) {
  return static_cast<X509*>(certificate->x509());
}

CFBytes exceptionsFor(const SecCertificate& leaf) {
  CFBytes bytes(kExceptionsHeader.begin(), kExceptionsHeader.end());
  CFBytes digest = security::internal::sha256(leaf.derData());
  bytes.insert(bytes.end(), digest.begin(), digest.end());
  return bytes;
}

CFErrorRef trustError(OSStatus status, const std::string& description) {
  return CFErrorCreate(kCFErrorDomainOSStatus, status,
                       CFDictionary{{kCFErrorLocalizedDescriptionKey, CFValue(description)}});
}

// The status and the sentence of a failed verification, naming the leaf as the platform does.
CFErrorRef verificationError(int verifyError, const std::string& leafName) {
  std::string quoted = "\u201c" + leafName + "\u201d certificate";
  switch (verifyError) {
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return trustError(errSecHostNameMismatch, quoted + " name does not match input");
    case X509_V_ERR_CERT_HAS_EXPIRED:
      return trustError(errSecCertificateExpired, quoted + " is expired");
    case X509_V_ERR_CERT_NOT_YET_VALID:
      return trustError(errSecCertificateNotValidYet, quoted + " is not yet valid");
    default:
      return trustError(errSecNotTrusted, quoted + " is not trusted");
  }
}

// Tells the verifier which host the leaf must name: an address is checked against the IP
// entries, a name against the DNS entries. False when neither takes the text ("", a NUL inside),
// which would otherwise leave the host unchecked.
bool setExpectedHost(X509_VERIFY_PARAM* parameters, const std::string& host) {
  if (host.empty() || host.find('\0') != std::string::npos) return false;
  if (X509_VERIFY_PARAM_set1_ip_asc(parameters, host.c_str()) == 1) return true;
  return X509_VERIFY_PARAM_set1_host(parameters, host.data(), host.size()) == 1;
}

}  // namespace

// Reaches the private state of a trust for the functions below.
struct SecTrustAccess {
  using Evaluation = SecTrust::Evaluation;

  static Evaluation verify(const SecTrust& trust) {
    Evaluation evaluation;
    if (trust.certificates_.empty()) {
      evaluation.result = kSecTrustResultFatalTrustFailure;
      evaluation.error = trustError(errSecParam, "The trust has no certificates to evaluate.");
      return evaluation;
    }
    StorePtr store(X509_STORE_new());
    if (trust.anchors_) {
      for (const auto& anchor : *trust.anchors_) X509_STORE_add_cert(store.get(), x509Of(anchor));
    } else {
      X509_STORE_set_default_paths(store.get());
    }
    StackPtr intermediates(sk_X509_new_null());
    for (size_t index = 1; index < trust.certificates_.size(); ++index) {
      sk_X509_push(intermediates.get(), x509Of(trust.certificates_[index]));
    }
    ContextPtr context(X509_STORE_CTX_new());
    X509_STORE_CTX_init(context.get(), store.get(), x509Of(trust.certificates_.front()),
                        intermediates.get());
    bool host_checkable = true;
    if (trust.policy_ && trust.policy_->isSSLServer()) {
      X509_STORE_CTX_set_purpose(context.get(), X509_PURPOSE_SSL_SERVER);
      if (const auto& host = trust.policy_->hostname()) {
        host_checkable = setExpectedHost(X509_STORE_CTX_get0_param(context.get()), *host);
      }
    }
    // A host the verifier did not take would go unchecked: that chain is not the host's.
    bool chain_verified = X509_verify_cert(context.get()) == 1;
    if (chain_verified && !host_checkable) {
      X509_STORE_CTX_set_error(context.get(), X509_V_ERR_HOSTNAME_MISMATCH);
    }
    evaluation.trusted = chain_verified && host_checkable;
    if (STACK_OF(X509)* built = X509_STORE_CTX_get0_chain(context.get())) {
      for (int index = 0; index < sk_X509_num(built); ++index) {
        evaluation.chain.push_back(certificateFor(trust, sk_X509_value(built, index)));
      }
    }
    const SecCertificate& leaf = *trust.certificates_.front();
    if (evaluation.trusted) {
      evaluation.result = kSecTrustResultUnspecified;
    } else if (trust.exceptions_ && *trust.exceptions_ == exceptionsFor(leaf)) {
      evaluation.trusted = true;
      evaluation.result = kSecTrustResultProceed;
    } else {
      evaluation.result = kSecTrustResultRecoverableTrustFailure;
      evaluation.error =
          verificationError(X509_STORE_CTX_get_error(context.get()), leaf.subjectSummary());
    }
    return evaluation;
  }

  // The certificate object of the chain's member: one given to the trust, or a new one for a
  // root found elsewhere.
  static SecCertificateRef certificateFor(const SecTrust& trust, X509* member) {
    auto same = [member](const SecCertificateRef& known) {
      return X509_cmp(x509Of(known), member) == 0;
    };
    auto given = std::find_if(trust.certificates_.begin(), trust.certificates_.end(), same);
    if (given != trust.certificates_.end()) return *given;
    if (trust.anchors_) {
      auto anchor = std::find_if(trust.anchors_->begin(), trust.anchors_->end(), same);
      if (anchor != trust.anchors_->end()) return *anchor;
    }
    unsigned char* der = nullptr;
    int size = i2d_X509(member, &der);
    if (size <= 0) return nullptr;
    CFBytes bytes(der, der + size);
    OPENSSL_free(der);
    return SecCertificateCreateWithData(bytes);
  }

  // The evaluation, made now when there is none yet. Called with the trust's mutex held.
  static const Evaluation& evaluated(SecTrust& trust) {
    if (!trust.evaluation_) trust.evaluation_ = verify(trust);
    return *trust.evaluation_;
  }

  static std::mutex& mutex(SecTrust& trust) { return trust.mutex_; }
  static void setAnchors(SecTrust& trust, std::vector<SecCertificateRef> anchors) {
    trust.anchors_ = std::move(anchors);
    trust.evaluation_.reset();
  }
  static const std::vector<SecCertificateRef>& certificates(const SecTrust& trust) {
    return trust.certificates_;
  }
  static void setExceptions(SecTrust& trust, std::optional<CFBytes> exceptions) {
    trust.exceptions_ = std::move(exceptions);
    trust.evaluation_.reset();
  }
};

SecTrust::SecTrust(std::vector<SecCertificateRef> certificates, SecPolicyRef policy)
    : certificates_(std::move(certificates)), policy_(std::move(policy)) {}

OSStatus SecTrustCreateWithCertificates(std::vector<SecCertificateRef> certificates,
                                        SecPolicyRef policy, SecTrustRef* trust) {
  if (trust == nullptr) return errSecParam;
  if (std::any_of(certificates.begin(), certificates.end(),
                  [](const SecCertificateRef& certificate) { return !certificate; })) {
    return errSecParam;
  }
  if (!policy) policy = SecPolicyCreateBasicX509();
  *trust = std::make_shared<SecTrust>(std::move(certificates), std::move(policy));
  return errSecSuccess;
}

OSStatus SecTrustSetAnchorCertificates(const SecTrustRef& trust,
                                       std::vector<SecCertificateRef> anchors) {
  if (!trust) return errSecParam;
  std::lock_guard lock(SecTrustAccess::mutex(*trust));
  std::erase(anchors, nullptr);
  SecTrustAccess::setAnchors(*trust, std::move(anchors));
  return errSecSuccess;
}

bool SecTrustEvaluateWithError(const SecTrustRef& trust, CFErrorRef* error) {
  if (!trust) {
    if (error != nullptr) *error = trustError(errSecParam, "No trust to evaluate.");
    return false;
  }
  if (auto forced = security::internal::trustEvaluationOverride()) {
    if (error != nullptr && !forced->trusted) *error = forced->error;
    return forced->trusted;
  }
  std::lock_guard lock(SecTrustAccess::mutex(*trust));
  const auto& evaluation = SecTrustAccess::evaluated(*trust);
  if (error != nullptr && !evaluation.trusted) *error = evaluation.error;
  return evaluation.trusted;
}

OSStatus SecTrustGetTrustResult(const SecTrustRef& trust, SecTrustResultType* result) {
  if (!trust || result == nullptr) return errSecParam;
  if (auto forced = security::internal::trustResultOverride()) {
    *result = static_cast<SecTrustResultType>(forced->first);
    return forced->second;
  }
  if (auto forced = security::internal::trustEvaluationOverride()) {
    *result = forced->result;
    return errSecSuccess;
  }
  std::lock_guard lock(SecTrustAccess::mutex(*trust));
  *result = SecTrustAccess::evaluated(*trust).result;
  return errSecSuccess;
}

std::optional<CFBytes> SecTrustCopyExceptions(const SecTrustRef& trust) {
  if (!trust) return std::nullopt;
  std::lock_guard lock(SecTrustAccess::mutex(*trust));
  const auto& certificates = SecTrustAccess::certificates(*trust);
  if (certificates.empty()) return std::nullopt;
  return exceptionsFor(*certificates.front());
}

bool SecTrustSetExceptions(const SecTrustRef& trust, const std::optional<CFBytes>& exceptions) {
  if (!trust) return false;
  std::lock_guard lock(SecTrustAccess::mutex(*trust));
  if (!exceptions) {
    SecTrustAccess::setExceptions(*trust, std::nullopt);
    return true;
  }
  const auto& certificates = SecTrustAccess::certificates(*trust);
  if (certificates.empty() || *exceptions != exceptionsFor(*certificates.front())) return false;
  SecTrustAccess::setExceptions(*trust, exceptions);
  return true;
}

std::optional<std::vector<SecCertificateRef>> SecTrustCopyCertificateChain(
    const SecTrustRef& trust) {
  if (!trust) return std::nullopt;
  if (auto forced = security::internal::certificateChainOverride()) return forced;
  std::lock_guard lock(SecTrustAccess::mutex(*trust));
  if (SecTrustAccess::certificates(*trust).empty()) return std::nullopt;
  const auto& chain = SecTrustAccess::evaluated(*trust).chain;
  return chain.empty() ? SecTrustAccess::certificates(*trust) : chain;
}

int64_t SecTrustGetCertificateCount(const SecTrustRef& trust) {
  auto chain = SecTrustCopyCertificateChain(trust);
  return chain ? static_cast<int64_t>(chain->size()) : 0;
}

SecCertificateRef SecTrustGetCertificateAtIndex(const SecTrustRef& trust, int64_t index) {
  auto chain = SecTrustCopyCertificateChain(trust);
  if (!chain || index < 0 || index >= static_cast<int64_t>(chain->size())) return nullptr;
  return (*chain)[static_cast<size_t>(index)];
}
