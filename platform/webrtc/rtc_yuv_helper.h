// Conversions between I420 and other pixel layouts. Named by 32-bit word order: the ARGB
// conversion writes the bytes B, G, R, A in memory and the BGRA conversion A, R, G, B.
// Each answers 0 on success, -1 for bad arguments.
#pragma once

#include <cstdint>

#include "platform/webrtc/rtc_video_frame.h"

class RTCYUVHelper {
 public:
  // Rotates clockwise by `mode` degrees; for 90 and 270 the destination is height x width.
  static int I420Rotate(const uint8_t* srcY, int srcStrideY, const uint8_t* srcU, int srcStrideU,
                        const uint8_t* srcV, int srcStrideV, uint8_t* dstY, int dstStrideY,
                        uint8_t* dstU, int dstStrideU, uint8_t* dstV, int dstStrideV, int width,
                        int height, RTCVideoRotation mode);
  static int I420ToNV12(const uint8_t* srcY, int srcStrideY, const uint8_t* srcU, int srcStrideU,
                        const uint8_t* srcV, int srcStrideV, uint8_t* dstY, int dstStrideY,
                        uint8_t* dstUV, int dstStrideUV, int width, int height);
  static int I420ToBGRA(const uint8_t* srcY, int srcStrideY, const uint8_t* srcU, int srcStrideU,
                        const uint8_t* srcV, int srcStrideV, uint8_t* dstBGRA, int dstStrideBGRA,
                        int width, int height);
  static int I420ToARGB(const uint8_t* srcY, int srcStrideY, const uint8_t* srcU, int srcStrideU,
                        const uint8_t* srcV, int srcStrideV, uint8_t* dstARGB, int dstStrideARGB,
                        int width, int height);
};
