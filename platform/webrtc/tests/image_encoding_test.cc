// Captured-frame images: pixel buffers read as images, turned by orientation, cut to a bitmap and
// encoded as PNG and JPEG, each decoded back to check what was written.
#include <gtest/gtest.h>

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on
#include <png.h>

#include <cmath>
#include <cstring>

#include "platform/avfoundation/cv_pixel_buffer_pool.h"
#include "platform/webrtc/ns_bitmap_image_rep.h"

namespace {

using webrtc::CIImage;
using webrtc::NSBitmapImageRep;

// A 3 x 2 image whose pixel (x, y) has blue 10 * x + 100 * y, green 7, red 200, opaque.
std::shared_ptr<CIImage> sample() {
  CVPixelBufferRef buffer;
  EXPECT_EQ(CVPixelBufferCreate(3, 2, kCVPixelFormatType_32BGRA, &buffer), kCVReturnSuccess);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      uint8_t* pixel = buffer->baseAddress() + y * buffer->bytesPerRow() + x * 4;
      pixel[0] = uint8_t(10 * x + 100 * y);
      pixel[1] = 7;
      pixel[2] = 200;
      pixel[3] = 255;
    }
  }
  return CIImage::imageWithCVPixelBuffer(buffer);
}

uint8_t blueAt(const CIImage& image, int x, int y) {
  return image.bgra()[(size_t(y) * image.width() + x) * 4];
}

struct Decoded {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bgra;
};

Decoded decodePng(const std::vector<uint8_t>& bytes) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  Decoded decoded;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return decoded;
  image.format = PNG_FORMAT_BGRA;
  decoded.bgra.resize(PNG_IMAGE_SIZE(image));
  if (png_image_finish_read(&image, nullptr, decoded.bgra.data(), 0, nullptr)) {
    decoded.width = int(image.width);
    decoded.height = int(image.height);
  }
  png_image_free(&image);
  return decoded;
}

// RGB rows.
Decoded decodeJpeg(const std::vector<uint8_t>& bytes) {
  jpeg_decompress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  Decoded decoded;
  if (jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK) {
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    decoded.width = int(info.output_width);
    decoded.height = int(info.output_height);
    decoded.bgra.resize(size_t(decoded.width) * decoded.height * 3);
    while (info.output_scanline < info.output_height) {
      JSAMPROW row = decoded.bgra.data() + size_t(info.output_scanline) * decoded.width * 3;
      jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
  }
  jpeg_destroy_decompress(&info);
  return decoded;
}

TEST(CIImageTest, OrientationsTurnThePixels) {
  const auto image = sample();
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(blueAt(*image, 2, 1), 120);

  const auto right = image->imageByApplyingCGOrientation(webrtc::kCGImagePropertyOrientationRight);
  ASSERT_EQ(right->width(), 2);
  ASSERT_EQ(right->height(), 3);
  // A quarter clockwise: the bottom-left pixel is now the top left.
  EXPECT_EQ(blueAt(*right, 0, 0), 100);
  EXPECT_EQ(blueAt(*right, 1, 0), 0);
  const auto left = image->imageByApplyingCGOrientation(webrtc::kCGImagePropertyOrientationLeft);
  EXPECT_EQ(blueAt(*left, 0, 0), 20);
  EXPECT_EQ(blueAt(*left, 1, 2), 100);
  const auto down = image->imageByApplyingCGOrientation(webrtc::kCGImagePropertyOrientationDown);
  EXPECT_EQ(down->width(), 3);
  EXPECT_EQ(blueAt(*down, 0, 0), 120);
  const auto up = image->imageByApplyingCGOrientation(webrtc::kCGImagePropertyOrientationUp);
  EXPECT_EQ(up->bgra(), image->bgra());

  EXPECT_EQ(CIImage::imageWithCVPixelBuffer(nullptr), nullptr);
  // Other formats go through I420: a bi-planar gray buffer reads as opaque gray.
  CVPixelBufferRef nv12;
  ASSERT_EQ(CVPixelBufferCreate(4, 2, kCVPixelFormatType_420YpCbCr8BiPlanarFullRange, &nv12),
            kCVReturnSuccess);
  std::memset(CVPixelBufferGetBaseAddressOfPlane(*nv12, 0), 128, 8);
  std::memset(CVPixelBufferGetBaseAddressOfPlane(*nv12, 1), 128, 4);
  const auto gray = CIImage::imageWithCVPixelBuffer(nv12);
  ASSERT_NE(gray, nullptr);
  EXPECT_EQ(gray->bgra()[3], 255);
  EXPECT_EQ(gray->bgra()[0], gray->bgra()[2]);
}

TEST(NSBitmapImageRepTest, PngIsLosslessAndJpegKeepsSizeAndColour) {
  const auto image = sample();
  NSBitmapImageRep bitmap(*image, image->extent());
  const auto png = bitmap.representationUsingType(webrtc::NSBitmapImageFileTypePNG, 1.0);
  ASSERT_TRUE(png.has_value());
  const Decoded from_png = decodePng(*png);
  EXPECT_EQ(from_png.width, 3);
  EXPECT_EQ(from_png.height, 2);
  EXPECT_EQ(from_png.bgra, image->bgra());

  const auto jpeg = bitmap.representationUsingType(webrtc::NSBitmapImageFileTypeJPEG, 1.0);
  ASSERT_TRUE(jpeg.has_value());
  ASSERT_GE(jpeg->size(), 2u);
  EXPECT_EQ((*jpeg)[0], 0xFF);
  EXPECT_EQ((*jpeg)[1], 0xD8);
  const Decoded from_jpeg = decodeJpeg(*jpeg);
  EXPECT_EQ(from_jpeg.width, 3);
  EXPECT_EQ(from_jpeg.height, 2);
  // Mostly red: R, G, B of the first pixel.
  EXPECT_GT(from_jpeg.bgra[0], 150);
  EXPECT_LT(from_jpeg.bgra[1], 80);
  // A NaN or out-of-range compression factor still encodes.
  EXPECT_TRUE(bitmap.representationUsingType(webrtc::NSBitmapImageFileTypeJPEG, std::nan("")));
  EXPECT_TRUE(bitmap.representationUsingType(webrtc::NSBitmapImageFileTypeJPEG, -3));
}

TEST(NSBitmapImageRepTest, RectanglesAreCutToTheImageAndEmptyOnesDoNotEncode) {
  const auto image = sample();
  NSBitmapImageRep corner(*image, CGRect{CGPoint{2, 1}, CGSize{10, 10}});
  EXPECT_EQ(corner.pixelsWide(), 1);
  EXPECT_EQ(corner.pixelsHigh(), 1);
  const Decoded decoded = decodePng(*corner.representationUsingType(
      webrtc::NSBitmapImageFileTypePNG, 1.0));
  ASSERT_EQ(decoded.bgra.size(), 4u);
  EXPECT_EQ(decoded.bgra[0], 120);

  NSBitmapImageRep outside(*image, CGRect{CGPoint{5, 5}, CGSize{2, 2}});
  EXPECT_EQ(outside.pixelsWide(), 0);
  EXPECT_FALSE(outside.representationUsingType(webrtc::NSBitmapImageFileTypePNG, 1.0));
  NSBitmapImageRep negative(*image, CGRect{CGPoint{-4, -4}, CGSize{-1, 3}});
  EXPECT_FALSE(negative.representationUsingType(webrtc::NSBitmapImageFileTypeJPEG, 1.0));
  EXPECT_FALSE(NSBitmapImageRep(*image, image->extent())
                   .representationUsingType(webrtc::NSBitmapImageFileType(99), 1.0));
}

}  // namespace
