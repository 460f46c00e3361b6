#include "platform/localauthentication/testing/authenticator_controls.h"

namespace localauthentication::testing {

using internal::SystemAuthenticator;

void setAuthenticatorAnswer(AuthenticatorAnswer answer) {
  SystemAuthenticator::shared().setAnswer(answer);
}

int promptCount() { return SystemAuthenticator::shared().promptCount(); }

void advanceClock(std::chrono::steady_clock::duration by) {
  SystemAuthenticator::shared().advanceClock(by);
}

void resetAuthenticator() { SystemAuthenticator::shared().reset(); }

}  // namespace localauthentication::testing
