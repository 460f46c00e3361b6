// I420 buffers, libyuv rotation and conversion through RTCYUVHelper, pixel-buffer frames
// cropped, scaled and read back as I420, and frames on their way from a source to renderers.
#include <gtest/gtest.h>

#include <numeric>

#include "platform/avfoundation/cv_pixel_buffer_pool.h"
#include "platform/webrtc/rtc_cv_pixel_buffer.h"
#include "platform/webrtc/rtc_i420_buffer.h"
#include "platform/webrtc/rtc_video_track.h"
#include "platform/webrtc/rtc_yuv_helper.h"

namespace {

// Luma numbered 0, 1, 2, ... in row order; chroma planes filled with `u` and `v`.
std::shared_ptr<RTCI420Buffer> numbered(int width, int height, uint8_t u = 128, uint8_t v = 128) {
  auto buffer = std::make_shared<RTCI420Buffer>(width, height);
  std::iota(buffer->mutableDataY(), buffer->mutableDataY() + width * height, uint8_t{0});
  std::fill_n(buffer->mutableDataU(), buffer->chromaWidth() * buffer->chromaHeight(), u);
  std::fill_n(buffer->mutableDataV(), buffer->chromaWidth() * buffer->chromaHeight(), v);
  return buffer;
}

std::shared_ptr<RTCI420Buffer> rotate(const RTCI420Buffer& source, RTCVideoRotation mode) {
  const bool turned = mode == RTCVideoRotation_90 || mode == RTCVideoRotation_270;
  auto rotated = std::make_shared<RTCI420Buffer>(turned ? source.height() : source.width(),
                                                 turned ? source.width() : source.height());
  EXPECT_EQ(RTCYUVHelper::I420Rotate(source.dataY(), source.strideY(), source.dataU(),
                                     source.strideU(), source.dataV(), source.strideV(),
                                     rotated->mutableDataY(), rotated->strideY(),
                                     rotated->mutableDataU(), rotated->strideU(),
                                     rotated->mutableDataV(), rotated->strideV(), source.width(),
                                     source.height(), mode),
            0);
  return rotated;
}

uint8_t luma(const RTCI420Buffer& buffer, int x, int y) {
  return buffer.dataY()[y * buffer.strideY() + x];
}

TEST(I420BufferTest, PlanesRoundUpAndHostileSizesGiveAnEmptyBuffer) {
  RTCI420Buffer odd(5, 3);
  EXPECT_EQ(odd.chromaWidth(), 3);
  EXPECT_EQ(odd.chromaHeight(), 2);
  EXPECT_EQ(odd.dataU() - odd.dataY(), 15);
  EXPECT_EQ(odd.dataV() - odd.dataU(), 6);
  for (auto [width, height] : {std::pair{0, 4}, {4, -1}, {16385, 2}, {2, 1 << 30}}) {
    RTCI420Buffer empty(width, height);
    EXPECT_EQ(empty.width(), 0) << width << "x" << height;
    EXPECT_EQ(empty.height(), 0) << width << "x" << height;
  }
  // toI420 is a copy: writing the original leaves it alone.
  auto original = numbered(4, 2);
  auto copy = original->toI420();
  original->mutableDataY()[0] = 99;
  EXPECT_EQ(luma(*copy, 0, 0), 0);
  EXPECT_EQ(luma(*copy, 3, 1), 7);
}

TEST(YUVHelperTest, RotationsMoveCornersClockwiseAndUndoEachOther) {
  const auto source = numbered(4, 2);  // rows: 0 1 2 3 / 4 5 6 7
  const auto right = rotate(*source, RTCVideoRotation_90);
  ASSERT_EQ(right->width(), 2);
  ASSERT_EQ(right->height(), 4);
  // A quarter clockwise: the top-left pixel goes to the top right, the bottom left to the top left.
  EXPECT_EQ(luma(*right, 1, 0), 0);
  EXPECT_EQ(luma(*right, 0, 0), 4);
  EXPECT_EQ(luma(*right, 0, 3), 7);
  const auto half = rotate(*source, RTCVideoRotation_180);
  EXPECT_EQ(luma(*half, 0, 0), 7);
  EXPECT_EQ(luma(*half, 3, 1), 0);
  const auto left = rotate(*source, RTCVideoRotation_270);
  EXPECT_EQ(luma(*left, 0, 3), 0);

  const auto back = rotate(*right, RTCVideoRotation_270);
  const auto twice = rotate(*half, RTCVideoRotation_180);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(back->dataY()[i], i);
    EXPECT_EQ(twice->dataY()[i], i);
  }
  EXPECT_EQ(rotate(*source, RTCVideoRotation_0)->dataY()[5], 5);
}

TEST(YUVHelperTest, ConversionsAreNamedByWordOrder) {
  // Studio-range red: luma 81, U 90, V 240.
  auto red = std::make_shared<RTCI420Buffer>(2, 2);
  std::fill_n(red->mutableDataY(), 4, 81);
  red->mutableDataU()[0] = 90;
  red->mutableDataV()[0] = 240;
  uint8_t argb[16] = {};
  ASSERT_EQ(RTCYUVHelper::I420ToARGB(red->dataY(), 2, red->dataU(), 1, red->dataV(), 1, argb, 8,
                                     2, 2),
            0);
  // Bytes B, G, R, A.
  EXPECT_GT(argb[2], 200);
  EXPECT_LT(argb[0], 40);
  EXPECT_EQ(argb[3], 255);
  uint8_t bgra[16] = {};
  ASSERT_EQ(RTCYUVHelper::I420ToBGRA(red->dataY(), 2, red->dataU(), 1, red->dataV(), 1, bgra, 8,
                                     2, 2),
            0);
  // Bytes A, R, G, B.
  EXPECT_EQ(bgra[0], 255);
  EXPECT_GT(bgra[1], 200);
  EXPECT_LT(bgra[3], 40);

  uint8_t y[4] = {}, uv[2] = {};
  ASSERT_EQ(RTCYUVHelper::I420ToNV12(red->dataY(), 2, red->dataU(), 1, red->dataV(), 1, y, 2, uv,
                                     2, 2, 2),
            0);
  EXPECT_EQ(y[3], 81);
  EXPECT_EQ(uv[0], 90);
  EXPECT_EQ(uv[1], 240);
  EXPECT_EQ(RTCYUVHelper::I420ToARGB(nullptr, 2, nullptr, 1, nullptr, 1, argb, 8, 2, 2), -1);
}

CVPixelBufferRef bgraBuffer(size_t width, size_t height) {
  CVPixelBufferRef buffer;
  EXPECT_EQ(CVPixelBufferCreate(width, height, kCVPixelFormatType_32BGRA, &buffer),
            kCVReturnSuccess);
  // Gray levels by column, opaque.
  for (size_t row = 0; row < height; ++row) {
    for (size_t column = 0; column < width; ++column) {
      uint8_t* pixel = buffer->baseAddress() + row * buffer->bytesPerRow() + column * 4;
      pixel[0] = pixel[1] = pixel[2] = uint8_t(40 * column + 20);
      pixel[3] = 255;
    }
  }
  return buffer;
}

TEST(CVPixelBufferFrameTest, CropsAreClampedAndReadBackAsI420) {
  auto pixels = bgraBuffer(4, 4);
  RTCCVPixelBuffer whole(pixels);
  EXPECT_FALSE(whole.requiresCropping());
  EXPECT_FALSE(whole.requiresScalingToWidth(4, 4));
  EXPECT_TRUE(whole.requiresScalingToWidth(2, 2));
  auto i420 = whole.toI420();
  ASSERT_EQ(i420->width(), 4);
  EXPECT_LT(luma(*i420, 0, 0), luma(*i420, 3, 0));

  // The crop rectangle is cut to the buffer: 10 x 10 at (3, 3) is 1 x 1.
  RTCCVPixelBuffer corner(pixels, 1, 1, 10, 10, 3, 3);
  EXPECT_TRUE(corner.requiresCropping());
  EXPECT_FALSE(corner.requiresScalingToWidth(1, 1));
  EXPECT_EQ(corner.toI420()->width(), 1);
  EXPECT_EQ(luma(*corner.toI420(), 0, 0), luma(*i420, 3, 3));

  // The right half scaled up to 4 x 2 keeps only the brighter columns.
  RTCCVPixelBuffer half(pixels, 4, 2, 2, 4, 2, 0);
  auto scaled = half.toI420();
  ASSERT_EQ(scaled->width(), 4);
  ASSERT_EQ(scaled->height(), 2);
  EXPECT_GE(luma(*scaled, 0, 0), luma(*i420, 2, 0) - 2);

  CVPixelBufferRef output;
  ASSERT_EQ(CVPixelBufferCreate(4, 2, kCVPixelFormatType_32BGRA, &output), kCVReturnSuccess);
  ASSERT_TRUE(half.cropAndScaleTo(*output, nullptr));
  // Only the brighter columns (100 and 140) are in it.
  EXPECT_GE(output->baseAddress()[0], 90);
  CVPixelBufferRef other_format;
  ASSERT_EQ(CVPixelBufferCreate(4, 2, kCVPixelFormatType_420YpCbCr8BiPlanarFullRange,
                                &other_format),
            kCVReturnSuccess);
  EXPECT_FALSE(half.cropAndScaleTo(*other_format, nullptr));
  EXPECT_EQ(RTCCVPixelBuffer(nullptr).toI420()->width(), 0);
}

TEST(CVPixelBufferFrameTest, BiPlanarBuffersRoundTripThroughNV12) {
  const auto source = numbered(6, 4, 60, 200);
  CVPixelBufferRef nv12;
  ASSERT_EQ(CVPixelBufferCreate(6, 4, kCVPixelFormatType_420YpCbCr8BiPlanarVideoRange, &nv12),
            kCVReturnSuccess);
  ASSERT_TRUE(CVPixelBufferIsPlanar(*nv12));
  ASSERT_EQ(RTCYUVHelper::I420ToNV12(
                source->dataY(), source->strideY(), source->dataU(), source->strideU(),
                source->dataV(), source->strideV(), CVPixelBufferGetBaseAddressOfPlane(*nv12, 0),
                int(CVPixelBufferGetBytesPerRowOfPlane(*nv12, 0)),
                CVPixelBufferGetBaseAddressOfPlane(*nv12, 1),
                int(CVPixelBufferGetBytesPerRowOfPlane(*nv12, 1)), 6, 4),
            0);
  auto back = RTCCVPixelBuffer(nv12).toI420();
  ASSERT_EQ(back->width(), 6);
  for (int i = 0; i < 24; ++i) EXPECT_EQ(back->dataY()[i], i);
  EXPECT_EQ(back->dataU()[5], 60);
  EXPECT_EQ(back->dataV()[5], 200);

  // Cropping a bi-planar buffer scales both planes into a buffer of the same format.
  CVPixelBufferRef small;
  ASSERT_EQ(CVPixelBufferCreate(2, 2, kCVPixelFormatType_420YpCbCr8BiPlanarVideoRange, &small),
            kCVReturnSuccess);
  RTCCVPixelBuffer cropped(nv12, 2, 2, 2, 2, 2, 2);
  ASSERT_TRUE(cropped.cropAndScaleTo(*small, nullptr));
  EXPECT_EQ(CVPixelBufferGetBaseAddressOfPlane(*small, 0)[0], luma(*source, 2, 2));
  EXPECT_EQ(CVPixelBufferGetBaseAddressOfPlane(*small, 1)[1], 200);
}

// Notes what a track tells it: "size WxH" and "frame WxH".
struct NotingRenderer : RTCVideoRenderer {
  void setSize(CGSize size) override {
    notes.push_back("size " + std::to_string(int(size.width)) + "x" +
                    std::to_string(int(size.height)));
  }
  void renderFrame(const std::shared_ptr<RTCVideoFrame>& frame) override {
    notes.push_back("frame " + std::to_string(frame->width()) + "x" +
                    std::to_string(frame->height()));
  }
  std::vector<std::string> notes;
};

TEST(VideoTrackTest, RenderersLearnTheUprightSizeBeforeTheFirstFrameOfEachSize) {
  auto source = std::make_shared<RTCVideoSource>();
  auto track = RTCVideoTrack::create(source, "t");
  auto first = std::make_shared<NotingRenderer>();
  auto later = std::make_shared<NotingRenderer>();
  track->addRenderer(first);
  RTCVideoCapturer capturer(source);
  const auto capture = [&](int width, int height, RTCVideoRotation rotation) {
    source->capturer(capturer, std::make_shared<RTCVideoFrame>(
                                   std::make_shared<RTCI420Buffer>(width, height), rotation, 0));
  };
  capture(8, 4, RTCVideoRotation_0);
  capture(8, 4, RTCVideoRotation_0);
  capture(8, 4, RTCVideoRotation_90);
  track->addRenderer(later);
  capture(8, 4, RTCVideoRotation_270);
  capture(0, 0, RTCVideoRotation_0);
  EXPECT_EQ(first->notes,
            (std::vector<std::string>{"size 8x4", "frame 8x4", "frame 8x4", "size 4x8", "frame 8x4",
                                      "frame 8x4", "size 0x0", "frame 0x0"}));
  EXPECT_EQ(later->notes,
            (std::vector<std::string>{"size 4x8", "frame 8x4", "size 0x0", "frame 0x0"}));

  // A renderer added again starts over; a disabled track tells nothing.
  track->removeRenderer(first);
  track->addRenderer(first);
  first->notes.clear();
  capture(0, 0, RTCVideoRotation_0);
  capture(2, 2, RTCVideoRotation_0);
  track->setIsEnabled(false);
  capture(6, 6, RTCVideoRotation_0);
  EXPECT_EQ(first->notes, (std::vector<std::string>{"frame 0x0", "size 2x2", "frame 2x2"}));
}

}  // namespace
