// One STUN or TURN server of a configuration.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct RTCIceServer {
  explicit RTCIceServer(std::vector<std::string> urlStrings) : urlStrings(std::move(urlStrings)) {}
  RTCIceServer(std::vector<std::string> urlStrings, std::optional<std::string> username,
               std::optional<std::string> credential)
      : urlStrings(std::move(urlStrings)),
        username(std::move(username)),
        credential(std::move(credential)) {}

  std::vector<std::string> urlStrings;
  std::optional<std::string> username;
  std::optional<std::string> credential;

  friend bool operator==(const RTCIceServer&, const RTCIceServer&) = default;
};
