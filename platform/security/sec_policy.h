// What a trust evaluation checks: a basic X.509 chain, or a TLS server's chain and its host name.
#pragma once

#include <memory>
#include <optional>
#include <string>

class SecPolicy {
 public:
  SecPolicy(bool sslServer, std::optional<std::string> hostname)
      : ssl_server_(sslServer), hostname_(std::move(hostname)) {}

  bool isSSLServer() const { return ssl_server_; }
  // The name (or IP address) the leaf must be issued for; none checks no name.
  const std::optional<std::string>& hostname() const { return hostname_; }

 private:
  bool ssl_server_;
  std::optional<std::string> hostname_;
};

using SecPolicyRef = std::shared_ptr<const SecPolicy>;

inline SecPolicyRef SecPolicyCreateBasicX509() {
  return std::make_shared<const SecPolicy>(false, std::nullopt);
}
// `server` chooses the server's side of TLS (the only side modelled with a host check).
inline SecPolicyRef SecPolicyCreateSSL(bool server, std::optional<std::string> hostname) {
  return std::make_shared<const SecPolicy>(server, std::move(hostname));
}
