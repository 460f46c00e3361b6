#include "plugins/webrtc_host/i420_pixel_buffer_writer.h"

#include <algorithm>

#include "platform/avfoundation/cv_pixel_buffer_pool.h"
#include "platform/webrtc/rtc_yuv_helper.h"

namespace webrtc_host {

bool writeI420ToPixelBuffer(const RTCI420Buffer& image, CVPixelBuffer& buffer) {
  const int width = std::min(image.width(), static_cast<int>(buffer.width()));
  const int height = std::min(image.height(), static_cast<int>(buffer.height()));
  const OSType format = buffer.pixelFormatType();
  if (CVPixelBufferIsPlanar(buffer)) {
    if (width > 0 && height > 0) {
      RTCYUVHelper::I420ToNV12(image.dataY(), image.strideY(), image.dataU(), image.strideU(),
                               image.dataV(), image.strideV(),
                               CVPixelBufferGetBaseAddressOfPlane(buffer, 0),
                               static_cast<int>(CVPixelBufferGetBytesPerRowOfPlane(buffer, 0)),
                               CVPixelBufferGetBaseAddressOfPlane(buffer, 1),
                               static_cast<int>(CVPixelBufferGetBytesPerRowOfPlane(buffer, 1)),
                               width, height);
    }
    return true;
  }
  if (format != kCVPixelFormatType_32ARGB && format != kCVPixelFormatType_32BGRA) return false;
  if (width <= 0 || height <= 0) return true;
  const int stride = static_cast<int>(buffer.bytesPerRow());
  if (format == kCVPixelFormatType_32ARGB) {
    RTCYUVHelper::I420ToBGRA(image.dataY(), image.strideY(), image.dataU(), image.strideU(),
                             image.dataV(), image.strideV(), buffer.baseAddress(), stride, width,
                             height);
  } else {
    RTCYUVHelper::I420ToARGB(image.dataY(), image.strideY(), image.dataU(), image.strideU(),
                             image.dataV(), image.strideV(), buffer.baseAddress(), stride, width,
                             height);
  }
  return true;
}

std::pair<int, int> rotatedSize(int width, int height, int rotation) {
  const bool turned = rotation == RTCVideoRotation_90 || rotation == RTCVideoRotation_270;
  return turned ? std::pair{height, width} : std::pair{width, height};
}

std::shared_ptr<RTCI420Buffer> rotatedI420(const RTCVideoFrameBuffer& buffer, int rotation) {
  auto source = buffer.toI420();
  const auto [width, height] = rotatedSize(source->width(), source->height(), rotation);
  auto rotated = std::make_shared<RTCI420Buffer>(width, height);
  if (rotated->width() == 0) return rotated;
  RTCYUVHelper::I420Rotate(source->dataY(), source->strideY(), source->dataU(), source->strideU(),
                           source->dataV(), source->strideV(), rotated->mutableDataY(),
                           rotated->strideY(), rotated->mutableDataU(), rotated->strideU(),
                           rotated->mutableDataV(), rotated->strideV(), source->width(),
                           source->height(), static_cast<RTCVideoRotation>(rotation));
  return rotated;
}

}  // namespace webrtc_host
