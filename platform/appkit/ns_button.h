// Buttons: a view that runs its action when clicked, if it is enabled.
#pragma once

#include <functional>

#include "platform/appkit/ns_view.h"

class NSButton : public NSView {
 public:
  using NSView::NSView;

  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled) { enabled_ = enabled; }
  void setAction(std::function<void()> action) { action_ = std::move(action); }

  // Clicks the button as the user would, running its action.
  void performClick() {
    if (enabled_ && action_) action_();
  }

 private:
  bool enabled_ = true;
  std::function<void()> action_;
};
