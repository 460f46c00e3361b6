#include "platform/coregraphics/cg_color_space.h"

class CGColorSpace {
 public:
  explicit CGColorSpace(CGColorSpaceModel model) : model_(model) {}
  CGColorSpaceModel model() const { return model_; }

 private:
  CGColorSpaceModel model_;
};

CGColorSpaceRef CGColorSpaceCreateDeviceRGB() {
  return std::make_shared<const CGColorSpace>(kCGColorSpaceModelRGB);
}

CGColorSpaceModel CGColorSpaceGetModel(const CGColorSpaceRef& space) {
  return space ? space->model() : kCGColorSpaceModelUnknown;
}
