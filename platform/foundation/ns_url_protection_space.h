// The server, realm and method that an authentication challenge is about.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/ns_object.h"

class SecTrust;

inline const std::string NSURLAuthenticationMethodDefault = "NSURLAuthenticationMethodDefault";
inline const std::string NSURLAuthenticationMethodHTTPBasic = "NSURLAuthenticationMethodHTTPBasic";
inline const std::string NSURLAuthenticationMethodServerTrust =
    "NSURLAuthenticationMethodServerTrust";

class NSURLProtectionSpace : public NSObject {
 public:
  NSURLProtectionSpace(std::string host, int64_t port, std::optional<std::string> protocol,
                       std::optional<std::string> realm, std::string authenticationMethod,
                       std::shared_ptr<SecTrust> serverTrust = nullptr)
      : host_(std::move(host)),
        port_(port),
        protocol_(std::move(protocol)),
        realm_(std::move(realm)),
        authentication_method_(std::move(authenticationMethod)),
        server_trust_(std::move(serverTrust)) {}

  const std::string& host() const { return host_; }
  int64_t port() const { return port_; }
  const std::optional<std::string>& protocol() const { return protocol_; }
  const std::optional<std::string>& realm() const { return realm_; }
  const std::string& authenticationMethod() const { return authentication_method_; }
  // The server's certificate chain to judge, for server-trust challenges; null otherwise.
  const std::shared_ptr<SecTrust>& serverTrust() const { return server_trust_; }

 private:
  std::string host_;
  int64_t port_;
  std::optional<std::string> protocol_;
  std::optional<std::string> realm_;
  std::string authentication_method_;
  std::shared_ptr<SecTrust> server_trust_;
};

