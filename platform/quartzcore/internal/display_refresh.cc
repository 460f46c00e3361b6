#include "platform/quartzcore/internal/display_refresh.h"

namespace quartzcore::internal {

DisplayRefresh& DisplayRefresh::shared() {
  static auto* const refresh = new DisplayRefresh();
  return *refresh;
}

void DisplayRefresh::add(std::weak_ptr<CADisplayLink> link) {
  std::lock_guard lock(mutex_);
  std::erase_if(links_, [](const auto& held) { return held.expired(); });
  links_.push_back(std::move(link));
}

std::vector<std::shared_ptr<CADisplayLink>> DisplayRefresh::links() {
  std::lock_guard lock(mutex_);
  std::vector<std::shared_ptr<CADisplayLink>> live;
  for (const auto& held : links_) {
    if (auto link = held.lock()) live.push_back(std::move(link));
  }
  return live;
}

}  // namespace quartzcore::internal
