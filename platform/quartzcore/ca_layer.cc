#include "platform/quartzcore/ca_layer.h"

#include <algorithm>

void CALayer::addSublayer(const std::shared_ptr<CALayer>& layer) {
  if (!layer || layer.get() == this) return;
  layer->removeFromSuperlayer();
  layer->superlayer_ = weak_from_this();
  sublayers_.push_back(layer);
}

void CALayer::removeFromSuperlayer() {
  auto parent = superlayer_.lock();
  superlayer_.reset();
  if (!parent) return;
  std::erase_if(parent->sublayers_, [this](const auto& layer) { return layer.get() == this; });
}
