// X.509 certificates, held as their DER encoding and parsed by OpenSSL.
#pragma once

#include <memory>
#include <string>

#include "platform/security/cf_value.h"

class SecCertificate {
 public:
  ~SecCertificate();
  SecCertificate(const SecCertificate&) = delete;
  SecCertificate& operator=(const SecCertificate&) = delete;

  const CFBytes& derData() const { return der_; }
  // The subject's common name, or the whole subject line when it has none.
  const std::string& subjectSummary() const { return subject_summary_; }
  // The parsed certificate (an OpenSSL X509), owned by this object.
  void* x509() const { return x509_; }

 private:
  friend std::shared_ptr<SecCertificate> SecCertificateCreateWithData(const CFBytes& data);
  SecCertificate(CFBytes der, void* x509, std::string subjectSummary);

  CFBytes der_;
  void* x509_;
  std::string subject_summary_;
};

using SecCertificateRef = std::shared_ptr<SecCertificate>;

// Null when `data` is not exactly one DER-encoded certificate.
SecCertificateRef SecCertificateCreateWithData(const CFBytes& data);
CFBytes SecCertificateCopyData(const SecCertificateRef& certificate);
