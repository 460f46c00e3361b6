// The variants of a streamed asset (its alternative renditions), as its playlist lists them.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/coregraphics/cg_geometry.h"

struct AVAssetVariantVideoAttributes {
  CGSize presentationSize;
  double nominalFrameRate = 0;
  // FourCC codec types, for example 'avc1'.
  std::vector<uint32_t> codecTypes;
};

struct AVAssetVariant {
  // Bits per second.
  double peakBitRate = 0;
  // Absent for a variant without video (audio only).
  std::optional<AVAssetVariantVideoAttributes> videoAttributes;
};
