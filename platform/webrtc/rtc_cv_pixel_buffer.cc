#include "platform/webrtc/rtc_cv_pixel_buffer.h"

#include <libyuv/convert.h>
#include <libyuv/scale.h>
#include <libyuv/scale_argb.h>
#include <libyuv/scale_uv.h>

#include <algorithm>

#include "platform/avfoundation/cv_pixel_buffer_pool.h"
#include "platform/webrtc/rtc_i420_buffer.h"

namespace {

bool isPacked32(OSType format) {
  return format == kCVPixelFormatType_32BGRA || format == kCVPixelFormatType_32ARGB ||
         format == kCVPixelFormatType_32RGBA;
}

}  // namespace

RTCCVPixelBuffer::RTCCVPixelBuffer(CVPixelBufferRef pixelBuffer)
    : RTCCVPixelBuffer(pixelBuffer, pixelBuffer ? int(pixelBuffer->width()) : 0,
                       pixelBuffer ? int(pixelBuffer->height()) : 0,
                       pixelBuffer ? int(pixelBuffer->width()) : 0,
                       pixelBuffer ? int(pixelBuffer->height()) : 0, 0, 0) {}

RTCCVPixelBuffer::RTCCVPixelBuffer(CVPixelBufferRef pixelBuffer, int adaptedWidth,
                                   int adaptedHeight, int cropWidth, int cropHeight, int cropX,
                                   int cropY)
    : pixel_buffer_(std::move(pixelBuffer)) {
  if (!pixel_buffer_) return;
  const int full_width = int(pixel_buffer_->width());
  const int full_height = int(pixel_buffer_->height());
  crop_x_ = std::clamp(cropX, 0, full_width);
  crop_y_ = std::clamp(cropY, 0, full_height);
  crop_width_ = std::clamp(cropWidth, 0, full_width - crop_x_);
  crop_height_ = std::clamp(cropHeight, 0, full_height - crop_y_);
  width_ = std::max(adaptedWidth, 0);
  height_ = std::max(adaptedHeight, 0);
}

bool RTCCVPixelBuffer::requiresCropping() const {
  return pixel_buffer_ && (crop_width_ != int(pixel_buffer_->width()) ||
                           crop_height_ != int(pixel_buffer_->height()));
}

bool RTCCVPixelBuffer::requiresScalingToWidth(int width, int height) const {
  return crop_width_ != width || crop_height_ != height;
}

int RTCCVPixelBuffer::bufferSizeForCroppingAndScalingToWidth(int /*width*/, int /*height*/) const {
  // Both planes of every format this buffer reads scale in place.
  return 0;
}

bool RTCCVPixelBuffer::cropAndScaleTo(CVPixelBuffer& output, uint8_t* /*tmpBuffer*/) const {
  if (!pixel_buffer_ || crop_width_ == 0 || crop_height_ == 0) return false;
  CVPixelBuffer& source = *pixel_buffer_;
  const OSType format = source.pixelFormatType();
  if (output.pixelFormatType() != format) return false;
  const int out_width = int(output.width());
  const int out_height = int(output.height());
  if (isPacked32(format)) {
    const uint8_t* origin =
        source.baseAddress() + size_t(crop_y_) * source.bytesPerRow() + size_t(crop_x_) * 4;
    return libyuv::ARGBScale(origin, int(source.bytesPerRow()), crop_width_, crop_height_,
                             output.baseAddress(), int(output.bytesPerRow()), out_width,
                             out_height, libyuv::kFilterBox) == 0;
  }
  if (!CVPixelBufferIsPlanar(source)) return false;
  // Chroma is addressed in whole pairs: the crop origin rounds down to even.
  const int x = crop_x_ & ~1;
  const int y = crop_y_ & ~1;
  const size_t stride_y = CVPixelBufferGetBytesPerRowOfPlane(source, 0);
  const size_t stride_uv = CVPixelBufferGetBytesPerRowOfPlane(source, 1);
  const uint8_t* luma = CVPixelBufferGetBaseAddressOfPlane(source, 0) + y * stride_y + x;
  const uint8_t* chroma = CVPixelBufferGetBaseAddressOfPlane(source, 1) + (y / 2) * stride_uv + x;
  libyuv::ScalePlane(luma, int(stride_y), crop_width_, crop_height_,
                     CVPixelBufferGetBaseAddressOfPlane(output, 0),
                     int(CVPixelBufferGetBytesPerRowOfPlane(output, 0)), out_width, out_height,
                     libyuv::kFilterBox);
  return libyuv::UVScale(chroma, int(stride_uv), (crop_width_ + 1) / 2, (crop_height_ + 1) / 2,
                         CVPixelBufferGetBaseAddressOfPlane(output, 1),
                         int(CVPixelBufferGetBytesPerRowOfPlane(output, 1)), (out_width + 1) / 2,
                         (out_height + 1) / 2, libyuv::kFilterBox) == 0;
}

std::shared_ptr<RTCI420Buffer> RTCCVPixelBuffer::toI420() const {
  if (!pixel_buffer_ || crop_width_ == 0 || crop_height_ == 0) {
    return std::make_shared<RTCI420Buffer>(0, 0);
  }
  auto cropped = std::make_shared<RTCI420Buffer>(crop_width_, crop_height_);
  CVPixelBuffer& source = *pixel_buffer_;
  const OSType format = source.pixelFormatType();
  uint8_t* y = cropped->mutableDataY();
  uint8_t* u = cropped->mutableDataU();
  uint8_t* v = cropped->mutableDataV();
  const int sy = cropped->strideY(), su = cropped->strideU(), sv = cropped->strideV();
  int status = -1;
  if (isPacked32(format)) {
    const uint8_t* origin =
        source.baseAddress() + size_t(crop_y_) * source.bytesPerRow() + size_t(crop_x_) * 4;
    const int stride = int(source.bytesPerRow());
    // libyuv names formats by word order too: its ARGB is the bytes B, G, R, A.
    if (format == kCVPixelFormatType_32BGRA) {
      status = libyuv::ARGBToI420(origin, stride, y, sy, u, su, v, sv, crop_width_, crop_height_);
    } else if (format == kCVPixelFormatType_32ARGB) {
      status = libyuv::BGRAToI420(origin, stride, y, sy, u, su, v, sv, crop_width_, crop_height_);
    } else {
      status = libyuv::ABGRToI420(origin, stride, y, sy, u, su, v, sv, crop_width_, crop_height_);
    }
  } else if (CVPixelBufferIsPlanar(source)) {
    const int x0 = crop_x_ & ~1;
    const int y0 = crop_y_ & ~1;
    const size_t stride_y = CVPixelBufferGetBytesPerRowOfPlane(source, 0);
    const size_t stride_uv = CVPixelBufferGetBytesPerRowOfPlane(source, 1);
    status = libyuv::NV12ToI420(
        CVPixelBufferGetBaseAddressOfPlane(source, 0) + y0 * stride_y + x0, int(stride_y),
        CVPixelBufferGetBaseAddressOfPlane(source, 1) + (y0 / 2) * stride_uv + x0, int(stride_uv),
        y, sy, u, su, v, sv, crop_width_, crop_height_);
  }
  if (status != 0) return std::make_shared<RTCI420Buffer>(0, 0);
  if (width_ == crop_width_ && height_ == crop_height_) return cropped;
  auto scaled = std::make_shared<RTCI420Buffer>(width_, height_);
  if (scaled->width() == 0) return scaled;
  libyuv::I420Scale(cropped->dataY(), sy, cropped->dataU(), su, cropped->dataV(), sv, crop_width_,
                    crop_height_, scaled->mutableDataY(), scaled->strideY(),
                    scaled->mutableDataU(), scaled->strideU(), scaled->mutableDataV(),
                    scaled->strideV(), width_, height_, libyuv::kFilterBox);
  return scaled;
}
