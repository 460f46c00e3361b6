#include "platform/security/testing/test_certificate_authority.h"

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <stdexcept>

namespace security::testing {
namespace {

struct KeyReleaser {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, KeyReleaser>;
struct CertificateReleaser {
  void operator()(X509* certificate) const { X509_free(certificate); }
};
using CertificatePtr = std::unique_ptr<X509, CertificateReleaser>;

KeyPtr newKey() {
  KeyPtr key(EVP_EC_gen("P-256"));
  if (!key) throw std::runtime_error("no P-256 key");
  return key;
}

void addExtension(X509* certificate, X509* issuer, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  if (extension == nullptr) throw std::runtime_error("bad extension");
  X509_add_ext(certificate, extension, -1);
  X509_EXTENSION_free(extension);
}

struct Issue {
  std::string commonName;
  EVP_PKEY* subjectKey;
  X509* issuer;  // null: self-signed
  EVP_PKEY* issuerKey;
  bool authority;
  std::string host;
  int startDays;
  int endDays;
};

SecCertificateRef issue(const Issue& request, CertificatePtr* parsed) {
  CertificatePtr certificate(X509_new());
  X509* x509 = certificate.get();
  X509_set_version(x509, 2);
  unsigned char serial[8];
  RAND_bytes(serial, sizeof serial);
  serial[0] &= 0x7f;
  BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
  BN_to_ASN1_INTEGER(number, X509_get_serialNumber(x509));
  BN_free(number);
  X509_gmtime_adj(X509_getm_notBefore(x509), long{request.startDays} * 86400);
  X509_gmtime_adj(X509_getm_notAfter(x509), long{request.endDays} * 86400);
  X509_NAME* subject = X509_get_subject_name(x509);
  X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8,
                             reinterpret_cast<const unsigned char*>(request.commonName.c_str()), -1,
                             -1, 0);
  X509* issuer = request.issuer != nullptr ? request.issuer : x509;
  X509_set_issuer_name(x509, X509_get_subject_name(issuer));
  X509_set_pubkey(x509, request.subjectKey);
  if (request.authority) {
    addExtension(x509, issuer, NID_basic_constraints, "critical,CA:TRUE");
    addExtension(x509, issuer, NID_key_usage, "critical,keyCertSign,cRLSign");
  } else {
    addExtension(x509, issuer, NID_basic_constraints, "critical,CA:FALSE");
    addExtension(x509, issuer, NID_ext_key_usage, "serverAuth");
    addExtension(x509, issuer, NID_subject_alt_name, ("DNS:" + request.host).c_str());
  }
  addExtension(x509, issuer, NID_subject_key_identifier, "hash");
  if (X509_sign(x509, request.issuerKey, EVP_sha256()) <= 0) {
    throw std::runtime_error("signing failed");
  }
  unsigned char* der = nullptr;
  int size = i2d_X509(x509, &der);
  CFBytes bytes(der, der + size);
  OPENSSL_free(der);
  if (parsed != nullptr) *parsed = std::move(certificate);
  return SecCertificateCreateWithData(bytes);
}

}  // namespace

struct TestCertificateAuthority::Keys {
  KeyPtr root = newKey();
  KeyPtr intermediate = newKey();
  CertificatePtr rootCertificate;
  CertificatePtr intermediateCertificate;
};

TestCertificateAuthority::TestCertificateAuthority(const std::string& name)
    : keys_(std::make_unique<Keys>()) {
  root_ = issue({name, keys_->root.get(), nullptr, keys_->root.get(), true, "", -1, 3650},
                &keys_->rootCertificate);
  intermediate_ = issue({name + " Intermediate", keys_->intermediate.get(),
                         keys_->rootCertificate.get(), keys_->root.get(), true, "", -1, 3650},
                        &keys_->intermediateCertificate);
}

TestCertificateAuthority::~TestCertificateAuthority() = default;

ServerChain TestCertificateAuthority::issueServerChain(const std::string& host, int startDays,
                                                       int endDays) {
  KeyPtr key = newKey();
  auto leaf = issue({host, key.get(), keys_->intermediateCertificate.get(),
                     keys_->intermediate.get(), false, host, startDays, endDays},
                    nullptr);
  return {leaf, intermediate_, root_};
}

}  // namespace security::testing
