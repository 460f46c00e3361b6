// Media selection: the groups of mutually exclusive options an asset offers for a characteristic
// (its audio languages, for instance), and the choice an item makes in each group. Options and
// groups are compared by identity.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/avfoundation/av_metadata_item.h"

struct AVMediaSelectionOption {
  std::string displayName;
  // The language code of the option's locale; nullopt when the option has no locale.
  std::optional<std::string> localeLanguageCode;
  std::vector<AVMetadataItem> commonMetadata;
};

struct AVMediaSelectionGroup {
  std::vector<std::shared_ptr<const AVMediaSelectionOption>> options;
  // The option an item plays until another is selected; may be null.
  std::shared_ptr<const AVMediaSelectionOption> defaultOption;
};

// The option chosen in each group of an asset.
class AVMediaSelection {
 public:
  // The chosen option, else the group's default; null when neither exists.
  std::shared_ptr<const AVMediaSelectionOption> selectedMediaOptionInMediaSelectionGroup(
      const AVMediaSelectionGroup& group) const;
  // An option that is not one of the group's is ignored; null selects nothing.
  void select(const AVMediaSelectionGroup& group,
              std::shared_ptr<const AVMediaSelectionOption> option);

 private:
  using Options = std::vector<std::shared_ptr<const AVMediaSelectionOption>>;
  struct Choice {
    // The group's options when the choice was made: a later group at the same address is
    // another group, whose choice this is not.
    Options groupOptions;
    std::shared_ptr<const AVMediaSelectionOption> option;
  };
  std::map<const AVMediaSelectionGroup*, Choice> chosen_;
};
