// Test controls for LocalAuthentication: what the emulated user answers to prompts, how many
// prompts were shown, and the clock that reuse durations are measured on.
#pragma once

#include <chrono>

#include "platform/localauthentication/internal/system_authenticator.h"

namespace localauthentication::testing {

using AuthenticatorAnswer = internal::AuthenticatorAnswer;

// Every later prompt gets this answer (approve until set otherwise).
void setAuthenticatorAnswer(AuthenticatorAnswer answer);
int promptCount();
// Moves the authenticator's clock forward.
void advanceClock(std::chrono::steady_clock::duration by);
// Approve, no prompts counted, the clock unshifted.
void resetAuthenticator();

}  // namespace localauthentication::testing
