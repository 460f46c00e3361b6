#include "platform/security/sec_certificate.h"

#include <openssl/x509.h>

namespace {

std::string summaryOf(X509* x509) {
  X509_NAME* subject = X509_get_subject_name(x509);
  int index = X509_NAME_get_index_by_NID(subject, NID_commonName, -1);
  if (index >= 0) {
    ASN1_STRING* data = X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, index));
    unsigned char* utf8 = nullptr;
    int length = ASN1_STRING_to_UTF8(&utf8, data);
    if (length >= 0) {
      std::string name(reinterpret_cast<char*>(utf8), static_cast<size_t>(length));
      OPENSSL_free(utf8);
      return name;
    }
  }
  char* line = X509_NAME_oneline(subject, nullptr, 0);
  std::string summary = line != nullptr ? line : "";
  OPENSSL_free(line);
  return summary;
}

}  // namespace

SecCertificate::SecCertificate(CFBytes der, void* x509, std::string subjectSummary)
    : der_(std::move(der)), x509_(x509), subject_summary_(std::move(subjectSummary)) {}

SecCertificate::~SecCertificate() { X509_free(static_cast<X509*>(x509_)); }

SecCertificateRef SecCertificateCreateWithData(const CFBytes& data) {
  if (data.empty()) return nullptr;
  const unsigned char* cursor = data.data();
  X509* x509 = d2i_X509(nullptr, &cursor, static_cast<long>(data.size()));
  if (x509 == nullptr) return nullptr;
  // Trailing bytes mean this was not one certificate.
  if (cursor != data.data() + data.size()) {
    X509_free(x509);
    return nullptr;
  }
  return SecCertificateRef(new SecCertificate(data, x509, summaryOf(x509)));
}

CFBytes SecCertificateCopyData(const SecCertificateRef& certificate) {
  return certificate ? certificate->derData() : CFBytes();
}
