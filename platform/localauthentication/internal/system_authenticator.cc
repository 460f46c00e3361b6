#include "platform/localauthentication/internal/system_authenticator.h"

namespace localauthentication::internal {

SystemAuthenticator& SystemAuthenticator::shared() {
  static auto* const authenticator = new SystemAuthenticator();
  return *authenticator;
}

void SystemAuthenticator::setAnswer(AuthenticatorAnswer answer) {
  std::lock_guard lock(mutex_);
  answer_ = answer;
}

AuthenticatorAnswer SystemAuthenticator::prompt(LAPolicy /*policy*/,
                                                const std::string& /*reason*/) {
  std::lock_guard lock(mutex_);
  ++prompt_count_;
  return answer_;
}

int SystemAuthenticator::promptCount() const {
  std::lock_guard lock(mutex_);
  return prompt_count_;
}

SystemAuthenticator::Clock::time_point SystemAuthenticator::now() const {
  std::lock_guard lock(mutex_);
  return Clock::now() + clock_offset_;
}

void SystemAuthenticator::advanceClock(Clock::duration by) {
  std::lock_guard lock(mutex_);
  clock_offset_ += by;
}

void SystemAuthenticator::reset() {
  std::lock_guard lock(mutex_);
  answer_ = AuthenticatorAnswer::approve;
  prompt_count_ = 0;
  clock_offset_ = {};
}

}  // namespace localauthentication::internal
