// Views: a rectangle in its superview's coordinates, with subviews, shown in a window.
#pragma once

#include <memory>
#include <vector>

#include "platform/coregraphics/cg_geometry.h"

class NSWindow;

class NSView : public std::enable_shared_from_this<NSView> {
 public:
  explicit NSView(NSRect frame = CGRectZero) : frame_(frame) {}
  virtual ~NSView() = default;

  NSRect frame() const { return frame_; }
  virtual void setFrame(NSRect frame) { frame_ = frame; }
  NSRect bounds() const { return CGRect{CGPointZero, frame_.size}; }
  bool isHidden() const { return hidden_; }
  void setHidden(bool hidden) { hidden_ = hidden; }

  std::shared_ptr<NSView> superview() const { return superview_.lock(); }
  const std::vector<std::shared_ptr<NSView>>& subviews() const { return subviews_; }
  void addSubview(const std::shared_ptr<NSView>& view);
  void removeFromSuperview();

  // The window showing this view (through its superviews), or null.
  std::shared_ptr<NSWindow> window() const;
  void setWindow(const std::weak_ptr<NSWindow>& window) { window_ = window; }

 private:
  NSRect frame_;
  bool hidden_ = false;
  std::weak_ptr<NSView> superview_;
  std::weak_ptr<NSWindow> window_;
  std::vector<std::shared_ptr<NSView>> subviews_;
};
