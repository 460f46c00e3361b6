#include "platform/avfoundation/av_media_selection.h"

#include <algorithm>

std::shared_ptr<const AVMediaSelectionOption>
AVMediaSelection::selectedMediaOptionInMediaSelectionGroup(
    const AVMediaSelectionGroup& group) const {
  auto found = chosen_.find(&group);
  if (found == chosen_.end() || found->second.groupOptions != group.options) {
    return group.defaultOption;
  }
  return found->second.option;
}

void AVMediaSelection::select(const AVMediaSelectionGroup& group,
                              std::shared_ptr<const AVMediaSelectionOption> option) {
  if (option &&
      std::find(group.options.begin(), group.options.end(), option) == group.options.end()) {
    return;
  }
  chosen_[&group] = Choice{group.options, std::move(option)};
}
