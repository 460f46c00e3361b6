// The CoreGraphics stand-in: transforms, file URLs, PDF pages as poppler reads them, and bitmap
// contexts drawing into the caller's RGBA buffer.
#include "platform/coregraphics/coregraphics.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <numbers>
#include <vector>

#include "platform/coregraphics/testing/pdf_writer.h"
#include "platform/foundation/testing/blocking_fifo.h"

namespace {

using coregraphics::testing::PdfWriter;
using Rgba = std::array<int, 4>;

void expectPointNear(const CGPoint& actual, const CGPoint& expected) {
  EXPECT_NEAR(actual.x, expected.x, 1e-9);
  EXPECT_NEAR(actual.y, expected.y, 1e-9);
}

TEST(AffineTransformTest, ConcatenationAppliesTheFirstFirstAndInversionUndoesIt) {
  CGAffineTransform moveThenScale = CGAffineTransformConcat(CGAffineTransformMakeTranslation(10, 0),
                                                            CGAffineTransformMakeScale(2, 3));
  expectPointNear(CGPointApplyAffineTransform({1, 1}, moveThenScale), {22, 3});
  expectPointNear(CGPointApplyAffineTransform({22, 3}, CGAffineTransformInvert(moveThenScale)),
                  {1, 1});
  CGAffineTransform flat = CGAffineTransformMakeScale(0, 1);
  EXPECT_EQ(CGAffineTransformInvert(flat), flat);

  CGRect turned = CGRectApplyAffineTransform(CGRectMake(0, 0, 300, 200),
                                             CGAffineTransformMakeRotation(std::numbers::pi / 2));
  EXPECT_NEAR(turned.origin.x, -200, 1e-9);
  EXPECT_NEAR(turned.size.width, 200, 1e-9);
  EXPECT_NEAR(turned.size.height, 300, 1e-9);
  EXPECT_EQ(CGRectStandardize(CGRectMake(10, 10, -4, -6)), CGRectMake(6, 4, 4, 6));
}

TEST(DataProviderTest, ReadsOnlyRegularFilesNamedByLocalFileUrls) {
  std::filesystem::path file = std::filesystem::temp_directory_path() / "provider test #1.pdf";
  ASSERT_TRUE(PdfWriter().addPage({CGRectMake(0, 0, 10, 10)}).writeTo(file.string()));
  EXPECT_NE(CGDataProviderCreateWithURL(NSURL::fileURLWithPath(file.string())), nullptr);

  auto provider = [](const std::string& url) {
    std::optional<NSURL> parsed = NSURL::URLWithString(url);
    return parsed ? CGDataProviderCreateWithURL(*parsed) : nullptr;
  };
  EXPECT_NE(
      provider("file://localhost" + NSURL::fileURLWithPath(file.string()).percentEncodedPath()),
      nullptr);
  EXPECT_EQ(provider("https://example.com/a.pdf"), nullptr);
  EXPECT_EQ(provider("file://server/share/a.pdf"), nullptr);
  EXPECT_EQ(provider("file:///tmp/a%00b.pdf"), nullptr);
  EXPECT_EQ(CGDataProviderCreateWithURL(NSURL::fileURLWithPath("/nonexistent/x.pdf")), nullptr);
  EXPECT_EQ(CGDataProviderCreateWithURL(
                NSURL::fileURLWithPath(std::filesystem::temp_directory_path().string())),
            nullptr);
  std::filesystem::remove(file);
  EXPECT_EQ(CGDataProviderCreateWithCFData(nullptr), nullptr);
}

TEST(DataProviderTest, ReadsTheNamedFileOnceWithoutWaitingAndWithinTheLimit) {
  namespace fs = std::filesystem;
  fs::path directory = fs::temp_directory_path() / ("provider_test_" + std::to_string(::getpid()));
  fs::create_directories(directory);
  auto fileProvider = [](const fs::path& path) {
    return CGDataProviderCreateWithURL(NSURL::fileURLWithPath(path.string(), false));
  };

  foundation::testing::BlockingFifo fifo((directory / "fifo.pdf").string());
  ASSERT_TRUE(fifo.created());
  EXPECT_EQ(fileProvider(fifo.path()), nullptr);
  EXPECT_FALSE(fifo.rescued()) << "making the provider waited for a writer";
  EXPECT_EQ(fileProvider("/dev/zero"), nullptr);
  fs::path huge = directory / "huge.pdf";
  { std::ofstream(huge) << "%PDF-1.4"; }
  fs::resize_file(huge, kCGDataProviderMaxFileBytes + 1);
  EXPECT_EQ(fileProvider(huge), nullptr);

  // The bytes are those of the file when the provider was made: replacing the file later, even
  // by a FIFO, changes nothing for the document.
  fs::path file = directory / "doc.pdf";
  ASSERT_TRUE(PdfWriter().addPage({CGRectMake(0, 0, 10, 10)}).writeTo(file.string()));
  CGDataProviderRef provider = fileProvider(file);
  ASSERT_NE(provider, nullptr);
  fs::remove(file);
  foundation::testing::BlockingFifo swapped(file.string());
  CGPDFDocumentRef document = CGPDFDocumentCreateWithProvider(provider);
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(CGPDFDocumentGetNumberOfPages(document), 1u);
  EXPECT_FALSE(swapped.rescued());
  fs::remove_all(directory);
}

// Pages with the same content: red at the crop box's bottom-left corner, blue outside the crop.
CGPDFDocumentRef turnedPages() {
  std::string content = PdfWriter::filledRect(CGRectMake(50, 50, 100, 50), 1, 0, 0) +
                        PdfWriter::filledRect(CGRectMake(0, 0, 40, 40), 0, 0, 1);
  PdfWriter writer;
  for (int rotate : {0, 90, 180, 270, -90}) {
    writer.addPage({CGRectMake(0, 0, 400, 300), CGRectMake(50, 50, 300, 200), rotate, content});
  }
  // A crop box reaching past the media box, and no crop box at all.
  writer.addPage({CGRectMake(0, 0, 200, 100), CGRectMake(-10, 20, 400, 50), 0, ""});
  writer.addPage({CGRectMake(10, 20, 200, 100), std::nullopt, 0, ""});
  std::string bytes = writer.write();
  return CGPDFDocumentCreateWithProvider(CGDataProviderCreateWithCFData(CFDataCreate(
      reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<CFIndex>(bytes.size()))));
}

TEST(PdfPageTest, ReadsBoxesAndRotationAsTheFileStatesThem) {
  CGPDFDocumentRef document = turnedPages();
  ASSERT_NE(document, nullptr);
  EXPECT_FALSE(CGPDFDocumentIsEncrypted(document));
  EXPECT_TRUE(CGPDFDocumentIsUnlocked(document));
  ASSERT_EQ(CGPDFDocumentGetNumberOfPages(document), 7u);
  EXPECT_EQ(CGPDFDocumentGetPage(document, 0), nullptr);
  EXPECT_EQ(CGPDFDocumentGetPage(document, 8), nullptr);
  EXPECT_EQ(CGPDFDocumentGetPage(document, 2), CGPDFDocumentGetPage(document, 2));

  const int expected_angles[] = {0, 90, 180, 270, 270, 0, 0};
  for (size_t number = 1; number <= 7; ++number) {
    EXPECT_EQ(CGPDFPageGetRotationAngle(CGPDFDocumentGetPage(document, number)),
              expected_angles[number - 1])
        << "page " << number;
  }
  CGPDFPageRef turned = CGPDFDocumentGetPage(document, 2);
  EXPECT_EQ(CGPDFPageGetBoxRect(turned, kCGPDFMediaBox), CGRectMake(0, 0, 400, 300));
  EXPECT_EQ(CGPDFPageGetBoxRect(turned, kCGPDFCropBox), CGRectMake(50, 50, 300, 200));
  EXPECT_EQ(CGPDFPageGetBoxRect(turned, kCGPDFArtBox), CGRectMake(50, 50, 300, 200));
  EXPECT_EQ(CGPDFPageGetBoxRect(turned, static_cast<CGPDFBox>(9)), CGRectZero);
  EXPECT_EQ(CGPDFPageGetBoxRect(CGPDFDocumentGetPage(document, 6), kCGPDFCropBox),
            CGRectMake(0, 20, 200, 50));
  EXPECT_EQ(CGPDFPageGetBoxRect(CGPDFDocumentGetPage(document, 7), kCGPDFCropBox),
            CGRectMake(10, 20, 200, 100));

  std::string text = "not a PDF";
  EXPECT_EQ(CGPDFDocumentCreateWithProvider(CGDataProviderCreateWithCFData(CFDataCreate(
                reinterpret_cast<const uint8_t*>(text.data()), static_cast<CFIndex>(text.size())))),
            nullptr);
}

TEST(PdfPageTest, DrawingTransformTurnsTheBoxOntoTheRectangleScalingOnlyDown) {
  CGPDFDocumentRef document = turnedPages();
  ASSERT_NE(document, nullptr);
  const CGPoint bottom_left{50, 50}, bottom_right{350, 50};
  // Where the crop box's bottom-left and bottom-right corners land for each rotation.
  struct Case {
    size_t page;
    CGRect rect;
    CGPoint bottom_left;
    CGPoint bottom_right;
  };
  const Case cases[] = {
      {1, CGRectMake(0, 0, 300, 200), {0, 0}, {300, 0}},
      {2, CGRectMake(0, 0, 200, 300), {0, 300}, {0, 0}},
      {3, CGRectMake(0, 0, 300, 200), {300, 200}, {0, 200}},
      {4, CGRectMake(0, 0, 200, 300), {200, 0}, {200, 300}},
      // Half size, centred in a taller rectangle.
      {1, CGRectMake(0, 0, 150, 300), {0, 100}, {150, 100}},
      // Never scaled up: centred at its own size.
      {1, CGRectMake(0, 0, 500, 400), {100, 100}, {400, 100}},
  };
  for (const Case& c : cases) {
    CGAffineTransform transform = CGPDFPageGetDrawingTransform(
        CGPDFDocumentGetPage(document, c.page), kCGPDFCropBox, c.rect, 0, true);
    expectPointNear(CGPointApplyAffineTransform(bottom_left, transform), c.bottom_left);
    expectPointNear(CGPointApplyAffineTransform(bottom_right, transform), c.bottom_right);
  }
  // An extra turn counter-clockwise takes a quarter off the page's own.
  CGAffineTransform back = CGPDFPageGetDrawingTransform(
      CGPDFDocumentGetPage(document, 2), kCGPDFCropBox, CGRectMake(0, 0, 300, 200), 90, true);
  expectPointNear(CGPointApplyAffineTransform(bottom_left, back), {0, 0});
}

Rgba pixelAt(const std::vector<uint8_t>& pixels, size_t width, size_t x, size_t y) {
  size_t offset = (y * width + x) * 4;
  return Rgba{pixels[offset], pixels[offset + 1], pixels[offset + 2], pixels[offset + 3]};
}

CGContextRef contextOver(std::vector<uint8_t>& pixels, size_t width, size_t height) {
  return CGBitmapContextCreate(pixels.data(), width, height, 8, width * 4,
                               CGColorSpaceCreateDeviceRGB(), kCGImageAlphaPremultipliedLast);
}

TEST(BitmapContextTest, RefusesWhatItCannotDrawInto) {
  std::vector<uint8_t> pixels(64 * 4 * 64 + 4);
  CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
  EXPECT_NE(CGBitmapContextCreate(pixels.data(), 64, 64, 8, 256, rgb, 1), nullptr);
  EXPECT_EQ(CGBitmapContextCreate(nullptr, 64, 64, 8, 256, rgb, 1), nullptr);
  EXPECT_EQ(CGBitmapContextCreate(pixels.data() + 1, 64, 64, 8, 256, rgb, 1), nullptr);
  EXPECT_EQ(CGBitmapContextCreate(pixels.data(), 64, 64, 16, 512, rgb, 1), nullptr);
  EXPECT_EQ(CGBitmapContextCreate(pixels.data(), 64, 64, 8, 256, nullptr, 1), nullptr);
  EXPECT_EQ(CGBitmapContextCreate(pixels.data(), 64, 64, 8, 256, rgb, 2), nullptr);
  EXPECT_EQ(CGBitmapContextCreate(pixels.data(), 64, 64, 8, 256, rgb,
                                  kCGImageAlphaPremultipliedLast | kCGBitmapByteOrder32Little),
            nullptr);
  EXPECT_NE(CGBitmapContextCreate(pixels.data(), 64, 64, 8, 256, rgb,
                                  kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little),
            nullptr);
  EXPECT_EQ(CGBitmapContextCreate(pixels.data(), 0, 64, 8, 256, rgb, 1), nullptr);
  EXPECT_EQ(CGBitmapContextCreate(pixels.data(), 32768, 1, 8, 32768 * 4, rgb, 1), nullptr);
  EXPECT_EQ(CGBitmapContextCreate(pixels.data(), 64, 64, 8, 255, rgb, 1), nullptr);
  EXPECT_EQ(CGBitmapContextCreate(pixels.data(), 64, 64, 8, 254, rgb, 1), nullptr);
}

TEST(BitmapContextTest, FillsPremultipliedRgbaFromTheBottomLeftAndLeavesOtherPixelsAlone) {
  // A pattern no drawing makes, so that any pixel touched by mistake shows.
  std::vector<uint8_t> pixels(4 * 4 * 4);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i % 4 + 1);
  CGContextRef context = contextOver(pixels, 4, 4);
  ASSERT_NE(context, nullptr);

  CGContextTranslateCTM(context, 1, 0);
  CGContextScaleCTM(context, 2, 1);
  EXPECT_EQ(CGContextGetCTM(context), CGAffineTransformMake(2, 0, 0, 1, 1, 0));
  CGContextSetRGBFillColor(context, 1, 0, 0, 1);
  CGContextFillRect(context, CGRectMake(0, 0, 1, 1));  // pixels 1 and 2 of the bottom row
  for (size_t y = 0; y < 4; ++y) {
    for (size_t x = 0; x < 4; ++x) {
      bool filled = y == 3 && (x == 1 || x == 2);
      EXPECT_EQ(pixelAt(pixels, 4, x, y), (filled ? Rgba{255, 0, 0, 255} : Rgba{1, 2, 3, 4}))
          << x << ", " << y;
    }
  }

  std::vector<uint8_t> clear(2 * 2 * 4, 0);
  CGContextRef half = contextOver(clear, 2, 2);
  CGContextSetRGBFillColor(half, 1, 0, 0, 0.5);
  CGContextFillRect(half, CGRectMake(0, 0, 2, 2));
  Rgba pixel = pixelAt(clear, 2, 0, 0);
  EXPECT_NEAR(pixel[0], 128, 1);
  EXPECT_EQ(pixel[1], 0);
  EXPECT_NEAR(pixel[3], 128, 1);

  // A flattened transform or a rectangle that is not a number draws nothing.
  std::vector<uint8_t> before = clear;
  CGContextSetRGBFillColor(half, 0, 1, 0, 1);
  CGContextFillRect(half, CGRectMake(0, 0, std::numeric_limits<double>::quiet_NaN(), 1));
  CGContextScaleCTM(half, 0, 1);
  CGContextFillRect(half, CGRectMake(0, 0, 2, 2));
  CGContextDrawPDFPage(half, CGPDFDocumentGetPage(turnedPages(), 1));
  EXPECT_EQ(clear, before);
}

TEST(BitmapContextTest, DrawsPagesInPageSpaceWhateverTheirRotationClippedToTheCropBox) {
  CGPDFDocumentRef document = turnedPages();
  ASSERT_NE(document, nullptr);
  for (size_t number = 1; number <= 5; ++number) {
    std::vector<uint8_t> pixels(400 * 4 * 300, 0);
    CGContextRef context = contextOver(pixels, 400, 300);
    CGContextDrawPDFPage(context, CGPDFDocumentGetPage(document, number));
    context.reset();
    // Page space as it is: red at (50..150, 50..100), rows counted from the top.
    EXPECT_EQ(pixelAt(pixels, 400, 60, 240), (Rgba{255, 0, 0, 255})) << "page " << number;
    EXPECT_EQ(pixelAt(pixels, 400, 140, 210), (Rgba{255, 0, 0, 255})) << "page " << number;
    EXPECT_EQ(pixelAt(pixels, 400, 160, 240), (Rgba{0, 0, 0, 0})) << "page " << number;
    // The blue square lies outside the crop box.
    EXPECT_EQ(pixelAt(pixels, 400, 20, 280), (Rgba{0, 0, 0, 0})) << "page " << number;
  }
}

// Alpha first in a little-endian word is B, G, R, A in memory: the same drawing, red and blue
// exchanged, byte for byte, half-opaque and antialiased edges included.
TEST(BitmapContextTest, BothByteOrdersDrawTheSamePixels) {
  std::string content;
  for (int i = 0; i < 40; ++i) {
    content += PdfWriter::filledRect(CGRectMake(i * 7.3, i * 5.1, 30.5, 20.25), (i % 3) / 2.0,
                                     (i % 5) / 4.0, (i % 7) / 6.0, i % 2 == 0);
  }
  std::string bytes =
      PdfWriter().addPage({CGRectMake(0, 0, 300, 250), std::nullopt, 0, content}).write();
  CGPDFDocumentRef document =
      CGPDFDocumentCreateWithProvider(CGDataProviderCreateWithCFData(CFDataCreate(
          reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<CFIndex>(bytes.size()))));
  ASSERT_NE(document, nullptr);
  auto draw = [&](std::vector<uint8_t>& pixels, CGBitmapInfo order) {
    CGContextRef context = CGBitmapContextCreate(pixels.data(), 173, 151, 8, 173 * 4,
                                                 CGColorSpaceCreateDeviceRGB(), order);
    ASSERT_NE(context, nullptr);
    CGContextScaleCTM(context, 0.61, 0.67);
    CGContextSetRGBFillColor(context, 0.2, 0.5, 0.9, 0.5);
    CGContextFillRect(context, CGRectMake(10.5, 10.5, 200, 100));
    CGContextDrawPDFPage(context, CGPDFDocumentGetPage(document, 1));
  };
  std::vector<uint8_t> rgba(173 * 4 * 151, 0), bgra(173 * 4 * 151, 0);
  draw(rgba, kCGImageAlphaPremultipliedLast);
  draw(bgra, kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little);
  for (size_t pixel = 0; pixel < bgra.size(); pixel += 4) std::swap(bgra[pixel], bgra[pixel + 2]);
  EXPECT_TRUE(rgba == bgra);
  EXPECT_NE(std::count(rgba.begin(), rgba.end(), 0), static_cast<ptrdiff_t>(rgba.size()));
}

}  // namespace
