#include "platform/avfoundation/av_media_selection.h"

std::shared_ptr<const AVMediaSelectionOption>
AVMediaSelection::selectedMediaOptionInMediaSelectionGroup(const AVMediaSelectionGroup& group) const {
  auto found = chosen_.find(&group);
  return found != chosen_.end() ? found->second : group.defaultOption;
}

void AVMediaSelection::select(const AVMediaSelectionGroup& group,
                              std::shared_ptr<const AVMediaSelectionOption> option) {
  chosen_[&group] = std::move(option);
}
