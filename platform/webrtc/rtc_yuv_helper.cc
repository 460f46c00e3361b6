#include "platform/webrtc/rtc_yuv_helper.h"

#include <libyuv/convert_argb.h>
#include <libyuv/convert_from.h>
#include <libyuv/convert_from_argb.h>
#include <libyuv/rotate.h>

int RTCYUVHelper::I420Rotate(const uint8_t* srcY, int srcStrideY, const uint8_t* srcU,
                             int srcStrideU, const uint8_t* srcV, int srcStrideV, uint8_t* dstY,
                             int dstStrideY, uint8_t* dstU, int dstStrideU, uint8_t* dstV,
                             int dstStrideV, int width, int height, RTCVideoRotation mode) {
  libyuv::RotationMode rotation = libyuv::kRotate0;
  switch (mode) {
    case RTCVideoRotation_90: rotation = libyuv::kRotate90; break;
    case RTCVideoRotation_180: rotation = libyuv::kRotate180; break;
    case RTCVideoRotation_270: rotation = libyuv::kRotate270; break;
    default: break;
  }
  return libyuv::I420Rotate(srcY, srcStrideY, srcU, srcStrideU, srcV, srcStrideV, dstY,
                            dstStrideY, dstU, dstStrideU, dstV, dstStrideV, width, height,
                            rotation);
}

int RTCYUVHelper::I420ToNV12(const uint8_t* srcY, int srcStrideY, const uint8_t* srcU,
                             int srcStrideU, const uint8_t* srcV, int srcStrideV, uint8_t* dstY,
                             int dstStrideY, uint8_t* dstUV, int dstStrideUV, int width,
                             int height) {
  return libyuv::I420ToNV12(srcY, srcStrideY, srcU, srcStrideU, srcV, srcStrideV, dstY,
                            dstStrideY, dstUV, dstStrideUV, width, height);
}

int RTCYUVHelper::I420ToBGRA(const uint8_t* srcY, int srcStrideY, const uint8_t* srcU,
                             int srcStrideU, const uint8_t* srcV, int srcStrideV, uint8_t* dstBGRA,
                             int dstStrideBGRA, int width, int height) {
  return libyuv::I420ToBGRA(srcY, srcStrideY, srcU, srcStrideU, srcV, srcStrideV, dstBGRA,
                            dstStrideBGRA, width, height);
}

int RTCYUVHelper::I420ToARGB(const uint8_t* srcY, int srcStrideY, const uint8_t* srcU,
                             int srcStrideU, const uint8_t* srcV, int srcStrideV, uint8_t* dstARGB,
                             int dstStrideARGB, int width, int height) {
  return libyuv::I420ToARGB(srcY, srcStrideY, srcU, srcStrideU, srcV, srcStrideV, dstARGB,
                            dstStrideARGB, width, height);
}
