// Several keychain calls as one: every SecItem and SecKey call that `body` makes on this thread
// joins one transaction of the keychain database, kept when `body` answers errSecSuccess and
// undone as a whole otherwise (also when the process dies before the end). Other threads and
// processes wait until it ends, so a lookup and the write it decides on cannot be interleaved.
// Groups may nest; an inner one that fails is undone alone.
#pragma once

#include <chrono>
#include <functional>
#include <optional>

#include "platform/security/sec_base.h"

namespace security {

OSStatus performKeychainTransaction(const std::function<OSStatus()>& body);

// While it lives, the keychain calls this thread makes wait for others (this process's other
// keychain calls and other processes' transactions) until `deadline` at most, instead of each
// call's own 5 seconds; a call still waiting then answers errSecIO. Scopes nest: the earlier
// deadline holds.
class KeychainWaitDeadline {
 public:
  explicit KeychainWaitDeadline(std::chrono::steady_clock::time_point deadline);
  ~KeychainWaitDeadline();
  KeychainWaitDeadline(const KeychainWaitDeadline&) = delete;
  KeychainWaitDeadline& operator=(const KeychainWaitDeadline&) = delete;

  // The deadline of the innermost scope on this thread, if any.
  static std::optional<std::chrono::steady_clock::time_point> current();

 private:
  std::optional<std::chrono::steady_clock::time_point> previous_;
};

}  // namespace security
