#include "platform/localauthentication/la_context.h"

#include <algorithm>

#include "platform/localauthentication/internal/system_authenticator.h"

using localauthentication::internal::AuthenticatorAnswer;
using localauthentication::internal::SystemAuthenticator;

LAContext::LAContext(const LAContext& other) {
  std::lock_guard lock(other.mutex_);
  reuse_duration_ = other.reuse_duration_;
  interaction_not_allowed_ = other.interaction_not_allowed_;
  last_success_ = other.last_success_;
}

void LAContext::setTouchIDAuthenticationAllowableReuseDuration(double seconds) {
  std::lock_guard lock(mutex_);
  // NaN compares false both ways and ends up as 0.
  reuse_duration_ =
      seconds > 0 ? std::min(seconds, LATouchIDAuthenticationMaximumAllowableReuseDuration) : 0;
}

bool LAContext::interactionNotAllowed() const {
  std::lock_guard lock(mutex_);
  return interaction_not_allowed_;
}

void LAContext::setInteractionNotAllowed(bool notAllowed) {
  std::lock_guard lock(mutex_);
  interaction_not_allowed_ = notAllowed;
}

namespace {

LAError unavailableError(LAPolicy policy) {
  return policy == LAPolicyDeviceOwnerAuthenticationWithBiometrics ? LAError::biometryNotAvailable
                                                                   : LAError::passcodeNotSet;
}

}  // namespace

void LAContext::evaluatePolicy(LAPolicy policy, const std::string& localizedReason,
                               const Reply& reply) {
  auto& authenticator = SystemAuthenticator::shared();
  std::optional<LAError> failure;
  {
    std::lock_guard lock(mutex_);
    auto now = authenticator.now();
    auto reuse = std::chrono::duration<double>(reuse_duration_);
    if (last_success_ && now - *last_success_ <= reuse) {
      // A recent success stands in for a new prompt.
    } else if (interaction_not_allowed_) {
      failure = LAError::notInteractive;
    } else {
      switch (authenticator.prompt(policy, localizedReason)) {
        case AuthenticatorAnswer::approve:
          last_success_ = now;
          break;
        case AuthenticatorAnswer::cancel:
          failure = LAError::userCancel;
          break;
        case AuthenticatorAnswer::fail:
          failure = LAError::authenticationFailed;
          break;
        case AuthenticatorAnswer::notAvailable:
          failure = unavailableError(policy);
          break;
      }
    }
  }
  if (reply) reply(!failure.has_value(), failure);
}
