// Showing captured video: pixel-buffer pools and bi-planar planes, CoreMedia sample buffers and
// their format checks, the display layer's flushes and its rotation transforms.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "platform/avfoundation/av_sample_buffer_display_layer.h"
#include "platform/avfoundation/cv_pixel_buffer_pool.h"
#include "platform/avfoundation/testing/av_capture_display_controls.h"

namespace {

TEST(CVPixelBufferPoolTest, ReusesOnlyBuffersNobodyHolds) {
  CVPixelBufferPoolRef pool;
  ASSERT_EQ(CVPixelBufferPoolCreate({4}, {8, 6, kCVPixelFormatType_32BGRA}, &pool),
            kCVReturnSuccess);
  CVPixelBufferRef first;
  CVPixelBufferRef second;
  ASSERT_EQ(CVPixelBufferPoolCreatePixelBuffer(pool, &first), kCVReturnSuccess);
  ASSERT_EQ(CVPixelBufferPoolCreatePixelBuffer(pool, &second), kCVReturnSuccess);
  EXPECT_NE(first, second);
  EXPECT_EQ(first->width(), 8u);
  EXPECT_EQ(first->height(), 6u);
  const CVPixelBuffer* released = first.get();
  first.reset();
  CVPixelBufferRef third;
  ASSERT_EQ(CVPixelBufferPoolCreatePixelBuffer(pool, &third), kCVReturnSuccess);
  EXPECT_EQ(third.get(), released);
  EXPECT_EQ(pool->allocatedBufferCount(), 2u);

  CVPixelBufferPoolRef refused;
  EXPECT_NE(CVPixelBufferPoolCreate({4}, {0, 6, kCVPixelFormatType_32BGRA}, &refused),
            kCVReturnSuccess);
  EXPECT_NE(CVPixelBufferPoolCreate({4}, {1 << 20, 6, kCVPixelFormatType_32BGRA}, &refused),
            kCVReturnSuccess);
  EXPECT_EQ(refused, nullptr);
  EXPECT_NE(CVPixelBufferPoolCreatePixelBuffer(nullptr, &third), kCVReturnSuccess);
}

TEST(CVPixelBufferPoolTest, BiPlanarPlanesFitTheBufferForOddSizes) {
  for (auto [width, height] : {std::pair<size_t, size_t>{1, 1}, {3, 5}, {640, 480}}) {
    CVPixelBufferRef buffer;
    ASSERT_EQ(CVPixelBufferCreate(width, height, kCVPixelFormatType_420YpCbCr8BiPlanarVideoRange,
                                  &buffer),
              kCVReturnSuccess);
    ASSERT_TRUE(CVPixelBufferIsPlanar(*buffer));
    const size_t luma_row = CVPixelBufferGetBytesPerRowOfPlane(*buffer, 0);
    const size_t chroma_row = CVPixelBufferGetBytesPerRowOfPlane(*buffer, 1);
    EXPECT_EQ(luma_row, width);
    EXPECT_EQ(chroma_row, 2 * ((width + 1) / 2));
    const uint8_t* chroma = CVPixelBufferGetBaseAddressOfPlane(*buffer, 1);
    EXPECT_EQ(chroma, CVPixelBufferGetBaseAddressOfPlane(*buffer, 0) + luma_row * height);
    const size_t chroma_end = size_t(chroma - buffer->baseAddress()) +
                              chroma_row * ((height + 1) / 2);
    EXPECT_LE(chroma_end, buffer->dataSize()) << width << "x" << height;
    EXPECT_EQ(CVPixelBufferGetBaseAddressOfPlane(*buffer, 2), nullptr);
  }
  CVPixelBufferRef packed;
  ASSERT_EQ(CVPixelBufferCreate(2, 2, kCVPixelFormatType_32BGRA, &packed), kCVReturnSuccess);
  EXPECT_FALSE(CVPixelBufferIsPlanar(*packed));
  EXPECT_EQ(CVPixelBufferGetBaseAddressOfPlane(*packed, 0), nullptr);
  EXPECT_EQ(CVPixelBufferGetBytesPerRowOfPlane(*packed, 0), 0u);
}

TEST(CMSampleBufferTest, ReadySamplesNeedAMatchingFormatDescription) {
  CVPixelBufferRef image;
  ASSERT_EQ(CVPixelBufferCreate(4, 2, kCVPixelFormatType_32BGRA, &image), kCVReturnSuccess);
  CMVideoFormatDescriptionRef format;
  ASSERT_EQ(CMVideoFormatDescriptionCreateForImageBuffer(image, &format), noErr);
  EXPECT_EQ(format->dimensions.width, 4);
  EXPECT_EQ(format->mediaSubType, kCVPixelFormatType_32BGRA);
  CMSampleBufferRef sample;
  const CMSampleTimingInfo timing{kCMTimeInvalid, CMTimeMake(3, 2), kCMTimeInvalid};
  ASSERT_EQ(CMSampleBufferCreateReadyWithImageBuffer(image, format, timing, &sample), noErr);
  EXPECT_EQ(CMSampleBufferGetImageBuffer(sample), image);
  EXPECT_EQ(CMTimeGetSeconds(CMSampleBufferGetPresentationTimeStamp(sample)), 1.5);
  EXPECT_TRUE(sample->sampleAttachments().empty());

  CVPixelBufferRef other;
  ASSERT_EQ(CVPixelBufferCreate(2, 4, kCVPixelFormatType_32BGRA, &other), kCVReturnSuccess);
  CMSampleBufferRef refused;
  EXPECT_EQ(CMSampleBufferCreateReadyWithImageBuffer(other, format, timing, &refused),
            kCMFormatDescriptionError_InvalidParameter);
  EXPECT_EQ(CMSampleBufferCreateReadyWithImageBuffer(nullptr, format, timing, &refused),
            kCMSampleBufferError_RequiredParameterMissing);
  EXPECT_EQ(CMVideoFormatDescriptionCreateForImageBuffer(nullptr, &format),
            kCMFormatDescriptionError_InvalidParameter);
  EXPECT_EQ(refused, nullptr);
  EXPECT_EQ(CMSampleBufferGetImageBuffer(nullptr), nullptr);
  EXPECT_TRUE(CMTIME_IS_INVALID(CMSampleBufferGetPresentationTimeStamp(nullptr)));
}

TEST(AVSampleBufferDisplayLayerTest, AnInterruptedRendererShowsNothingUntilFlushed) {
  AVSampleBufferDisplayLayer layer;
  CVPixelBufferRef image;
  ASSERT_EQ(CVPixelBufferCreate(2, 2, kCVPixelFormatType_32BGRA, &image), kCVReturnSuccess);
  auto sample = std::make_shared<CMSampleBuffer>(image, nullptr, kCMTimingInfoInvalid);
  layer.enqueueSampleBuffer(sample);
  const auto& renderer = layer.sampleBufferRenderer();
  EXPECT_EQ(renderer->displayedSampleBuffer(), sample);

  avfoundation::testing::interruptDecoding(layer);
  EXPECT_TRUE(layer.requiresFlushToResumeDecoding());
  renderer->enqueueSampleBuffer(sample);
  EXPECT_EQ(renderer->enqueuedCount(), 1u);
  bool flushed = false;
  renderer->flushWithRemovalOfDisplayedImage(false, [&flushed] { flushed = true; });
  EXPECT_TRUE(flushed);
  EXPECT_EQ(renderer->displayedSampleBuffer(), sample);
  layer.flushAndRemoveImage();
  EXPECT_EQ(renderer->displayedSampleBuffer(), nullptr);
  EXPECT_EQ(renderer->flushCount(), 2u);
  renderer->enqueueSampleBuffer(sample);
  renderer->enqueueSampleBuffer(nullptr);
  EXPECT_EQ(renderer->enqueuedCount(), 2u);
}

TEST(CATransform3DTest, RotationsAboutZTurnCounterClockwise) {
  const auto quarter = CATransform3DMakeRotation(std::numbers::pi / 2, 0, 0, 1);
  EXPECT_NEAR(quarter.m[0][0], 0, 1e-12);
  EXPECT_NEAR(quarter.m[0][1], 1, 1e-12);
  EXPECT_NEAR(quarter.m[1][0], -1, 1e-12);
  EXPECT_EQ(quarter.m[2][2], 1);
  const auto half = CATransform3DMakeRotation(std::numbers::pi, 0, 0, 2);
  EXPECT_NEAR(half.m[0][0], -1, 1e-12);
  EXPECT_NEAR(half.m[1][1], -1, 1e-12);
  EXPECT_EQ(CATransform3DMakeRotation(1.0, 0, 0, 0), CATransform3DIdentity);
  EXPECT_EQ(CATransform3DMakeRotation(0.0, 0, 0, 1), CATransform3DIdentity);
}

}  // namespace
