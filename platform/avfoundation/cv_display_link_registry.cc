#include "platform/avfoundation/cv_display_link_registry.h"

#include <algorithm>

CVDisplayLinkRegistry& CVDisplayLinkRegistry::shared() {
  static auto* const registry = new CVDisplayLinkRegistry();
  return *registry;
}

void CVDisplayLinkRegistry::add(CVDisplayLink* link) {
  std::lock_guard lock(mutex_);
  links_.push_back(link);
}

void CVDisplayLinkRegistry::remove(CVDisplayLink* link) {
  std::lock_guard lock(mutex_);
  std::erase(links_, link);
}
