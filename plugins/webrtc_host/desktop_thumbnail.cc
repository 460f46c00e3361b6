#include "plugins/webrtc_host/desktop_thumbnail.h"

#include <algorithm>
#include <cmath>

namespace webrtc_host {

CGRect thumbnailDrawRect(CGSize imageSize, CGSize targetSize) {
  if (imageSize == targetSize || imageSize.width <= 0 || imageSize.height <= 0) {
    return CGRectMake(0, 0, imageSize.width, imageSize.height);
  }
  const double width_ratio = targetSize.width / imageSize.width;
  const double height_ratio = targetSize.height / imageSize.height;
  const double scale = std::max(width_ratio, height_ratio);
  const CGSize drawn{std::ceil(imageSize.width * scale), std::ceil(imageSize.height * scale)};
  CGPoint origin{0, 0};
  if (width_ratio > height_ratio) {
    origin.y = (targetSize.height - drawn.height) * 0.5;
  } else if (height_ratio > width_ratio) {
    origin.x = (targetSize.width - drawn.width) * 0.5;
  }
  return CGRect{origin, drawn};
}

std::shared_ptr<webrtc::NSImage> resizeImage(const webrtc::NSImage& image, CGSize size) {
  auto resized = std::make_shared<webrtc::NSImage>(size);
  resized->lockFocus();
  image.drawInRect(thumbnailDrawRect(image.size(), size),
                   CGRectMake(0, 0, image.size().width, image.size().height),
                   webrtc::NSCompositingOperationCopy, 1.0);
  resized->unlockFocus();
  return resized;
}

std::vector<uint8_t> thumbnailBytes(const std::shared_ptr<webrtc::NSImage>& image) {
  if (!image) return {};
  return resizeImage(*image, kThumbnailSize)->TIFFRepresentation();
}

}  // namespace webrtc_host
