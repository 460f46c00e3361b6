#include "platform/security/internal/security_state.h"

namespace security::internal {
namespace {

// Enough for any test to look back over a few operations, small enough for a long-running host.
constexpr size_t kHistoryLength = 64;

}  // namespace

SecurityState& SecurityState::shared() {
  static auto* const state = new SecurityState();
  return *state;
}

std::optional<OSStatus> SecurityState::enter(SecFunction function, const CFDictionary& dictionary,
                                             const CFDictionary& attributesToUpdate) {
  std::lock_guard lock(mutex_);
  if (recording_) {
    auto& history = calls_[function];
    history.push_back(RecordedCall{dictionary, attributesToUpdate});
    if (history.size() > kHistoryLength) history.pop_front();
  }

  auto found = injections_.find(function);
  if (found == injections_.end()) return std::nullopt;
  std::optional<OSStatus> answer;
  auto& pending = found->second;
  for (auto it = pending.begin(); it != pending.end();) {
    if (it->skip == 0 && !answer) {
      answer = it->status;
      it = pending.erase(it);
    } else {
      if (it->skip > 0) --it->skip;
      ++it;
    }
  }
  return answer;
}

void SecurityState::failCall(SecFunction function, OSStatus status, int skip) {
  std::lock_guard lock(mutex_);
  injections_[function].push_back(Injection{skip < 0 ? 0 : skip, status});
}

std::vector<RecordedCall> SecurityState::calls(SecFunction function) const {
  std::lock_guard lock(mutex_);
  auto found = calls_.find(function);
  if (found == calls_.end()) return {};
  return {found->second.begin(), found->second.end()};
}

bool SecurityState::hardwareTokenAvailable() const {
  std::lock_guard lock(mutex_);
  return token_available_;
}

void SecurityState::setHardwareTokenAvailable(bool available) {
  std::lock_guard lock(mutex_);
  token_available_ = available;
}

void SecurityState::setRecording(bool recording) {
  std::lock_guard lock(mutex_);
  recording_ = recording;
  if (!recording) calls_.clear();
}

void SecurityState::reset() {
  std::lock_guard lock(mutex_);
  calls_.clear();
  injections_.clear();
  token_available_ = true;
  recording_ = true;
}

}  // namespace security::internal
