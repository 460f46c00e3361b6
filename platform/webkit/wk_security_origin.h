// The origin of a frame's content: protocol, host and port.
#pragma once

#include <cstdint>
#include <string>

#include "platform/foundation/ns_object.h"

class WKSecurityOrigin : public NSObject {
 public:
  WKSecurityOrigin(std::string protocol, std::string host, int64_t port)
      : protocol_(std::move(protocol)), host_(std::move(host)), port_(port) {}

  const std::string& protocol() const { return protocol_; }
  const std::string& host() const { return host_; }
  int64_t port() const { return port_; }

 private:
  std::string protocol_;
  std::string host_;
  int64_t port_;
};
