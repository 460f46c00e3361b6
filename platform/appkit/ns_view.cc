#include "platform/appkit/ns_view.h"

#include <algorithm>

#include "platform/appkit/ns_window.h"

void NSView::addSubview(const std::shared_ptr<NSView>& view) {
  if (!view || view.get() == this) return;
  view->removeFromSuperview();
  view->superview_ = weak_from_this();
  subviews_.push_back(view);
}

void NSView::removeFromSuperview() {
  auto parent = superview_.lock();
  if (!parent) return;
  auto self = shared_from_this();
  std::erase(parent->subviews_, self);
  superview_.reset();
}

std::shared_ptr<NSWindow> NSView::window() const {
  if (auto own = window_.lock()) return own;
  auto parent = superview_.lock();
  return parent ? parent->window() : nullptr;
}

void NSView::setWantsLayer(bool wantsLayer) {
  wants_layer_ = wantsLayer;
  if (wants_layer_ && !layer_) layer_ = makeBackingLayer();
}
