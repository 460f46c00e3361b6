// Layers: the tree of rectangles a layer-backed view draws into. The stand-in keeps the tree and
// the frames; nothing is composited.
#pragma once

#include <memory>
#include <vector>

#include "platform/coregraphics/cg_geometry.h"

class CALayer : public std::enable_shared_from_this<CALayer> {
 public:
  static std::shared_ptr<CALayer> layer() { return std::make_shared<CALayer>(); }
  virtual ~CALayer() = default;

  CGRect frame() const { return frame_; }
  void setFrame(CGRect frame) { frame_ = frame; }

  std::shared_ptr<CALayer> superlayer() const { return superlayer_.lock(); }
  const std::vector<std::shared_ptr<CALayer>>& sublayers() const { return sublayers_; }
  // Moves the layer here from any earlier superlayer.
  void addSublayer(const std::shared_ptr<CALayer>& layer);
  void removeFromSuperlayer();

 private:
  CGRect frame_ = CGRectZero;
  std::weak_ptr<CALayer> superlayer_;
  std::vector<std::shared_ptr<CALayer>> sublayers_;
};
