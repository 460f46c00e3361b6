// The server, realm and method that an authentication challenge is about.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/webkit/ns_object.h"

namespace foundation {

class NSURLProtectionSpace : public NSObject {
 public:
  NSURLProtectionSpace(std::string host, int64_t port, std::optional<std::string> protocol,
                       std::optional<std::string> realm, std::string authenticationMethod)
      : host_(std::move(host)),
        port_(port),
        protocol_(std::move(protocol)),
        realm_(std::move(realm)),
        authentication_method_(std::move(authenticationMethod)) {}

  const std::string& host() const { return host_; }
  int64_t port() const { return port_; }
  const std::optional<std::string>& protocol() const { return protocol_; }
  const std::optional<std::string>& realm() const { return realm_; }
  const std::string& authenticationMethod() const { return authentication_method_; }

 private:
  std::string host_;
  int64_t port_;
  std::optional<std::string> protocol_;
  std::optional<std::string> realm_;
  std::string authentication_method_;
};

}  // namespace foundation
