#include "platform/avfoundation/internal/bgra_converter.h"

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

namespace avfoundation::internal {

bool BGRAConverter::scale(const AVFrame& frame, uint8_t* destination, int stride) {
  if (frame.width <= 0 || frame.height <= 0) return false;
  scaler_.reset(sws_getCachedContext(scaler_.release(), frame.width, frame.height,
                                     static_cast<AVPixelFormat>(frame.format), frame.width,
                                     frame.height, AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr,
                                     nullptr));
  if (!scaler_) return false;
  uint8_t* planes[4] = {destination, nullptr, nullptr, nullptr};
  int strides[4] = {stride, 0, 0, 0};
  return sws_scale(scaler_.get(), frame.data, frame.linesize, 0, frame.height, planes, strides) ==
         frame.height;
}

CVPixelBufferRef BGRAConverter::convert(const AVFrame& frame) {
  if (frame.width <= 0 || frame.height <= 0) return nullptr;
  CVPixelBufferRef buffer;
  if (CVPixelBufferCreate(static_cast<size_t>(frame.width), static_cast<size_t>(frame.height),
                          kCVPixelFormatType_32BGRA, &buffer) != kCVReturnSuccess) {
    return nullptr;
  }
  if (!scale(frame, buffer->baseAddress(), static_cast<int>(buffer->bytesPerRow()))) return nullptr;
  return buffer;
}

bool BGRAConverter::convert(const AVFrame& frame, std::vector<uint8_t>* pixels) {
  if (frame.width <= 0 || frame.height <= 0) return false;
  pixels->resize(static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height) * 4);
  return scale(frame, pixels->data(), frame.width * 4);
}

}  // namespace avfoundation::internal
