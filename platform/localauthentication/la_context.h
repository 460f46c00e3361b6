// An authentication context: asks the user to prove who they are, and remembers a success for
// as long as its reuse duration allows, so that several protected reads need one prompt.
//
// The system authenticator here is emulated: it answers at once, on the calling thread, with
// what the test controls set (approve by default).
#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "platform/localauthentication/la_error.h"
#include "platform/localauthentication/la_policy.h"

// The longest reuse duration a context accepts, in seconds.
inline constexpr double LATouchIDAuthenticationMaximumAllowableReuseDuration = 300;

class LAContext {
 public:
  using Reply = std::function<void(bool success, std::optional<LAError> error)>;

  LAContext() = default;
  // A copy has the same settings and the same remembered success.
  LAContext(const LAContext& other);
  LAContext& operator=(const LAContext&) = delete;

  // Seconds after a success during which another evaluation succeeds without a prompt;
  // clamped to [0, LATouchIDAuthenticationMaximumAllowableReuseDuration].
  void setTouchIDAuthenticationAllowableReuseDuration(double seconds);

  // When set, an evaluation that would need a prompt fails with LAError::notInteractive.
  bool interactionNotAllowed() const;
  void setInteractionNotAllowed(bool notAllowed);

  // Evaluates the policy and calls `reply` once, before returning.
  void evaluatePolicy(LAPolicy policy, const std::string& localizedReason, const Reply& reply);

 private:
  using Clock = std::chrono::steady_clock;

  mutable std::mutex mutex_;
  double reuse_duration_ = 0;
  bool interaction_not_allowed_ = false;
  std::optional<Clock::time_point> last_success_;
};
