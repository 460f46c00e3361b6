#include "platform/appkit/sharing_picker_sessions.h"

#include <algorithm>

namespace appkit {

SharingPickerSessions& SharingPickerSessions::shared() {
  static SharingPickerSessions sessions;
  return sessions;
}

void SharingPickerSessions::shown(std::shared_ptr<NSSharingServicePicker> picker) {
  std::lock_guard lock(mutex_);
  history_.push_back(picker);
  // Past pickers are kept for the test controls to read, up to a bound.
  if (history_.size() > 64) history_.erase(history_.begin());
  if (std::find(on_screen_.begin(), on_screen_.end(), picker) == on_screen_.end()) {
    on_screen_.push_back(std::move(picker));
  }
}

std::shared_ptr<NSSharingServicePicker> SharingPickerSessions::close(
    const NSSharingServicePicker& picker) {
  std::lock_guard lock(mutex_);
  auto found = std::find_if(on_screen_.begin(), on_screen_.end(),
                            [&](const auto& shown) { return shown.get() == &picker; });
  if (found == on_screen_.end()) return nullptr;
  auto closed = std::move(*found);
  on_screen_.erase(found);
  return closed;
}

std::vector<std::shared_ptr<NSSharingServicePicker>> SharingPickerSessions::history() const {
  std::lock_guard lock(mutex_);
  return history_;
}

std::vector<std::shared_ptr<NSSharingServicePicker>> SharingPickerSessions::onScreen() const {
  std::lock_guard lock(mutex_);
  return on_screen_;
}

void SharingPickerSessions::reset() {
  std::vector<std::shared_ptr<NSSharingServicePicker>> dropped;
  std::lock_guard lock(mutex_);
  dropped.swap(on_screen_);
  history_.clear();
}

}  // namespace appkit
