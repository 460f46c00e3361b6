#include "platform/avfoundation/internal/bgra_converter.h"

#include <cstring>
#include <limits>
#include <new>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace avfoundation::internal {
namespace {

// The scaler's vector code stores whole registers: rows this many bytes apart hold a row's
// overrun in their own padding, and the bytes past the last row hold the last one's.
constexpr size_t kRowAlignment = 64;
constexpr size_t kTrailingBytes = 64;

size_t rowBytesFor(size_t width) {
  return (width * 4 + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
}

// The full-range formats FFmpeg names apart (the older JPEG ones): full range whatever the frame
// says.
bool isFullRangeFormat(AVPixelFormat format) {
  switch (format) {
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUVJ444P:
    case AV_PIX_FMT_YUVJ440P:
    case AV_PIX_FMT_YUVJ411P:
      return true;
    default:
      return false;
  }
}

}  // namespace

BGRAConverter::Setup BGRAConverter::setupFor(const AVFrame& frame) {
  auto format = static_cast<AVPixelFormat>(frame.format);
  const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
  Setup setup{frame.width, frame.height, frame.format};
  setup.yuv = descriptor != nullptr && (descriptor->flags & AV_PIX_FMT_FLAG_RGB) == 0 &&
                descriptor->nb_components >= 3;
  // An undeclared matrix is BT.601's, as FFmpeg's own conversion takes it.
  setup.matrix = frame.colorspace;
  setup.fullRange = frame.color_range == AVCOL_RANGE_JPEG || isFullRangeFormat(format);
  return setup;
}

bool BGRAConverter::scale(const AVFrame& frame, uint8_t* destination, int stride) {
  if (frame.width <= 0 || frame.height <= 0) return false;
  Setup wanted = setupFor(frame);
  if (scaler_ && wanted == setup_) return convertWith(frame, destination, stride);
  setup_ = Setup{};
  scaler_.reset(sws_getCachedContext(scaler_.release(), frame.width, frame.height,
                                     static_cast<AVPixelFormat>(frame.format), frame.width,
                                     frame.height, AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr,
                                     nullptr));
  if (!scaler_) return false;
  // The pictures are converted with the matrix and range their stream declares (swscale has no
  // gamut mapping: primaries are kept, as FFmpeg's own conversion keeps them). The output is
  // full-range RGB.
  if (wanted.yuv) {
    sws_setColorspaceDetails(scaler_.get(), sws_getCoefficients(wanted.matrix),
                             wanted.fullRange ? 1 : 0, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0,
                             1 << 16, 1 << 16);
  }
  setup_ = wanted;
  return convertWith(frame, destination, stride);
}

bool BGRAConverter::convertWith(const AVFrame& frame, uint8_t* destination, int stride) {
  uint8_t* planes[4] = {destination, nullptr, nullptr, nullptr};
  int strides[4] = {stride, 0, 0, 0};
  return sws_scale(scaler_.get(), frame.data, frame.linesize, 0, frame.height, planes, strides) ==
         frame.height;
}

CVPixelBufferLayout BGRAConverter::destinationLayout() {
  return CVPixelBufferLayout{kRowAlignment, kTrailingBytes};
}

bool BGRAConverter::convert(const AVFrame& frame, uint8_t* destination, size_t bytesPerRow,
                            size_t bytes) {
  if (frame.width <= 0 || frame.height <= 0) return false;
  const size_t width = static_cast<size_t>(frame.width);
  const size_t height = static_cast<size_t>(frame.height);
  if (bytesPerRow < rowBytesFor(width) || bytesPerRow % kRowAlignment != 0 ||
      bytesPerRow > static_cast<size_t>(std::numeric_limits<int>::max()) ||
      bytes < bytesPerRow * height + kTrailingBytes) {
    return false;
  }
  return scale(frame, destination, static_cast<int>(bytesPerRow));
}

CVPixelBufferRef BGRAConverter::convert(const AVFrame& frame, CVReturn* status) {
  CVReturn ignored;
  CVReturn& answer = status != nullptr ? *status : ignored;
  answer = kCVReturnInvalidArgument;
  if (frame.width <= 0 || frame.height <= 0) return nullptr;
  CVPixelBufferRef buffer;
  answer = CVPixelBufferCreate(static_cast<size_t>(frame.width), static_cast<size_t>(frame.height),
                               kCVPixelFormatType_32BGRA, destinationLayout(), &buffer);
  if (answer != kCVReturnSuccess) return nullptr;
  if (!convert(frame, buffer->baseAddress(), buffer->bytesPerRow(), buffer->allocationSize())) {
    answer = kCVReturnInvalidArgument;
    return nullptr;
  }
  return buffer;
}

bool BGRAConverter::convert(const AVFrame& frame, std::vector<uint8_t>* pixels) {
  if (frame.width <= 0 || frame.height <= 0) return false;
  const size_t width = static_cast<size_t>(frame.width);
  const size_t height = static_cast<size_t>(frame.height);
  // Converted with the pixel buffers' layout (the same pixels, the same room for the scaler's
  // overrun), then the rows are moved together.
  const size_t stride = rowBytesFor(width);
  const size_t row = width * 4;
  try {
    pixels->resize(stride * height + kTrailingBytes);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (!convert(frame, pixels->data(), stride, pixels->size())) return false;
  for (size_t y = 1; y < height; ++y) {
    std::memmove(pixels->data() + y * row, pixels->data() + y * stride, row);
  }
  pixels->resize(row * height);
  return true;
}

}  // namespace avfoundation::internal
