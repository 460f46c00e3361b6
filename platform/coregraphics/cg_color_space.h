// Colour spaces. Bitmap contexts draw in device RGB.
#pragma once

#include <cstdint>
#include <memory>

class CGColorSpace;
using CGColorSpaceRef = std::shared_ptr<const CGColorSpace>;

enum CGColorSpaceModel : int32_t {
  kCGColorSpaceModelUnknown = -1,
  kCGColorSpaceModelRGB = 1,
};

CGColorSpaceRef CGColorSpaceCreateDeviceRGB();
CGColorSpaceModel CGColorSpaceGetModel(const CGColorSpaceRef& space);
