// A certificate authority for tests: a root and an intermediate with P-256 keys, issuing TLS
// server certificates for host names, so that trust evaluation runs on real chains.
#pragma once

#include <memory>
#include <string>

#include "platform/security/sec_certificate.h"

namespace security::testing {

struct ServerChain {
  SecCertificateRef leaf;
  SecCertificateRef intermediate;
  SecCertificateRef root;
};

class TestCertificateAuthority {
 public:
  explicit TestCertificateAuthority(const std::string& name = "Velmora Test Root");
  ~TestCertificateAuthority();
  TestCertificateAuthority(const TestCertificateAuthority&) = delete;
  TestCertificateAuthority& operator=(const TestCertificateAuthority&) = delete;

  // A leaf for `host` (a DNS name) signed by the intermediate, valid from `startDays` to
  // `endDays` days from now.
  ServerChain issueServerChain(const std::string& host, int startDays = -1, int endDays = 365);

 private:
  struct Keys;
  std::unique_ptr<Keys> keys_;
  SecCertificateRef root_;
  SecCertificateRef intermediate_;
};

}  // namespace security::testing
