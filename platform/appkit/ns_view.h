// Views: a rectangle in its superview's coordinates, with subviews, shown in a window.
#pragma once

#include <memory>
#include <vector>

#include "platform/coregraphics/cg_geometry.h"
#include "platform/quartzcore/ca_display_link.h"
#include "platform/quartzcore/ca_layer.h"

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

  // Layer backing: turning it on gives the view the layer makeBackingLayer makes (once).
  bool wantsLayer() const { return wants_layer_; }
  void setWantsLayer(bool wantsLayer);
  const std::shared_ptr<CALayer>& layer() const { return layer_; }
  void setLayer(std::shared_ptr<CALayer> layer) { layer_ = std::move(layer); }
  virtual std::shared_ptr<CALayer> makeBackingLayer() { return CALayer::layer(); }

  // A display link that follows the display showing this view.
  std::shared_ptr<CADisplayLink> displayLinkWithTarget(CADisplayLink::Action action) const {
    return CADisplayLink::displayLinkWithAction(std::move(action));
  }

 private:
  NSRect frame_;
  bool hidden_ = false;
  std::weak_ptr<NSView> superview_;
  std::weak_ptr<NSWindow> window_;
  std::vector<std::shared_ptr<NSView>> subviews_;
  bool wants_layer_ = false;
  std::shared_ptr<CALayer> layer_;
};
