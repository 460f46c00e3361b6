// The machine the process runs on, as its user names it.
#pragma once

#include <memory>
#include <optional>
#include <string>

class NSHost {
 public:
  static std::shared_ptr<NSHost> currentHost();

  // The name the user gave the machine (the pretty host name in /etc/machine-info), else its
  // network host name; nullopt when it has neither.
  std::optional<std::string> localizedName() const;
};
