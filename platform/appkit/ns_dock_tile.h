// The application's tile in the Dock: the application icon unless a content view replaces it,
// with an optional badge.
#pragma once

#include <memory>
#include <string>

#include "platform/appkit/ns_view.h"

namespace appkit::testing {
struct ModelAccess;
}

class NSDockTile {
 public:
  // The tile's size in points.
  NSSize size() const { return CGSizeMake(128, 128); }

  std::shared_ptr<NSView> contentView() const { return content_view_; }
  void setContentView(std::shared_ptr<NSView> view) { content_view_ = std::move(view); }
  const std::string& badgeLabel() const { return badge_label_; }
  void setBadgeLabel(std::string label) { badge_label_ = std::move(label); }

  // Redraws the tile from its content view.
  void display() { ++display_count_; }

 private:
  friend struct appkit::testing::ModelAccess;

  std::shared_ptr<NSView> content_view_;
  std::string badge_label_;
  int display_count_ = 0;
};
