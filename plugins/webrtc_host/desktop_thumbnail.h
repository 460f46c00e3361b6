// Source thumbnails as the channel carries them: scaled to cover 320 x 180 points, the overflow
// cut equally on both sides, as TIFF bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/coregraphics/cg_geometry.h"
#include "platform/webrtc/ns_image.h"

namespace webrtc_host {

inline constexpr CGSize kThumbnailSize{320, 180};

// Where the image is drawn in the target: scaled by the larger of the two ratios, each side
// rounded up to a whole point, and centred on the axis that overflows.
CGRect thumbnailDrawRect(CGSize imageSize, CGSize targetSize);
std::shared_ptr<webrtc::NSImage> resizeImage(const webrtc::NSImage& image, CGSize size);
// Empty bytes for no image.
std::vector<uint8_t> thumbnailBytes(const std::shared_ptr<webrtc::NSImage>& image);

}  // namespace webrtc_host
