// The emulated system authenticator behind every LAContext: what the "user" answers to a
// prompt, how many prompts were shown, and the clock that reuse durations are measured on.
// Process-wide, as the platform's is.
#pragma once

#include <chrono>
#include <mutex>
#include <string>

#include "platform/localauthentication/la_policy.h"

namespace localauthentication::internal {

enum class AuthenticatorAnswer { approve, cancel, fail, notAvailable };

class SystemAuthenticator {
 public:
  using Clock = std::chrono::steady_clock;

  static SystemAuthenticator& shared();

  void setAnswer(AuthenticatorAnswer answer);
  // Shows one prompt and answers it.
  AuthenticatorAnswer prompt(LAPolicy policy, const std::string& reason);
  int promptCount() const;

  Clock::time_point now() const;
  void advanceClock(Clock::duration by);

  // Back to approving, no prompts counted, the clock unshifted.
  void reset();

 private:
  SystemAuthenticator() = default;

  mutable std::mutex mutex_;
  AuthenticatorAnswer answer_ = AuthenticatorAnswer::approve;
  int prompt_count_ = 0;
  Clock::duration clock_offset_{};
};

}  // namespace localauthentication::internal
