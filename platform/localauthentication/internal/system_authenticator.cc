#include "platform/localauthentication/internal/system_authenticator.h"

namespace localauthentication::internal {

SystemAuthenticator& SystemAuthenticator::shared() {
  static auto* const authenticator = new SystemAuthenticator();
  return *authenticator;
}

AuthenticatorAnswer SystemAuthenticator::answer() const {
  std::lock_guard lock(mutex_);
  return answer_;
}

void SystemAuthenticator::setAnswer(AuthenticatorAnswer answer) {
  std::lock_guard lock(mutex_);
  answer_ = answer;
}

AuthenticatorAnswer SystemAuthenticator::prompt(LAPolicy /*policy*/, const std::string& reason) {
  std::lock_guard lock(mutex_);
  ++prompt_count_;
  last_reason_ = reason;
  return answer_;
}

int SystemAuthenticator::promptCount() const {
  std::lock_guard lock(mutex_);
  return prompt_count_;
}

std::string SystemAuthenticator::lastReason() const {
  std::lock_guard lock(mutex_);
  return last_reason_;
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
  last_reason_.clear();
  clock_offset_ = {};
}

}  // namespace localauthentication::internal
