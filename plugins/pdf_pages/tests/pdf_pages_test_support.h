// What the PDF renderer's tests share: the documents they draw, a plug-in driven through its
// channel, and pixel access.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/flutter/flutter.h"
#include "platform/flutter/testing/test_dart_side.h"

namespace pdf_pages::testing {

using Rgba = std::array<int, 4>;

// A directory under the system's temporary one, removed with what it holds.
class TemporaryDirectory {
 public:
  TemporaryDirectory();
  ~TemporaryDirectory();
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Four pages, no text:
//  1. 612 × 792: red bottom-left quadrant, blue top-right quadrant, a yellow 20 × 10 mark whose
//     top-left corner is 100 right of the left edge and 50 below the top, a 50% red square at
//     (400, 100, 100, 100); nothing else painted.
//  2. media 400 × 300, crop (50, 50, 300, 200), /Rotate 90: red (50, 50, 100, 50) at the crop's
//     bottom-left corner, blue (250, 200, 100, 50) at its top-right corner.
//  3. 200 × 100, /Rotate 180: red (0, 0, 50, 50) at the bottom-left corner.
//  4. media 300 × 200, crop (100, 50, 150, 100): green (100, 50, 50, 50) at the crop's
//     bottom-left corner, red outside the crop.
std::string fourPageDocument();
// Two pages of 200 × 100 and 100 × 300: the document the encrypted fixtures were made from.
std::string twoPageDocument();
// A document of the objects given by number, object 1 its catalog, read through a plain
// cross-reference table; `packed` objects stand in one compressed object stream, and the table is
// then a compressed cross-reference stream. Hand-made, so that a test can give the file what
// writers never do.
std::string handMadeDocument(const std::map<int, std::string>& objects,
                             const std::map<int, std::string>& packed = {});
// The encrypted fixtures (see tests/data/README.md).
std::filesystem::path userPasswordFixture();   // user "secret", owner "owner-secret"
std::filesystem::path ownerPasswordFixture();  // empty user password, owner "owner-secret"
// Any document of tests/data by its file name.
std::filesystem::path fixture(const std::string& name);
std::string readFile(const std::filesystem::path& path);

// The pixel at column x, row y (from the top) of an RGBA bitmap `width` pixels wide.
Rgba pixelAt(const std::vector<uint8_t>& bitmap, size_t width, size_t x, size_t y);
// Each channel within `tolerance` of `expected`.
::testing::AssertionResult near(const Rgba& actual, const Rgba& expected, int tolerance = 2);

class PdfPagesTest : public ::testing::Test {
 protected:
  PdfPagesTest();

  flutter::testing::MethodReply call(const std::string& method, flutter::Value arguments);
  flutter::testing::MethodReply loadBytes(const std::string& id, const std::string& pdf,
                                          std::optional<std::string> password = std::nullopt);
  flutter::testing::MethodReply loadFile(const std::string& id, const std::string& path,
                                         std::optional<std::string> password = std::nullopt);
  flutter::testing::MethodReply getPage(const std::string& id, int64_t index, int64_t width,
                                        int64_t height);
  flutter::testing::MethodReply getTile(const std::string& id, int64_t page, double scale,
                                        double width, double height, double x, double y);
  // The bitmap of a successful answer (the test fails on any other).
  static std::vector<uint8_t> bitmapOf(const flutter::testing::MethodReply& reply);

  std::shared_ptr<FlutterEngine> engine = FlutterEngine::create();
  flutter::testing::TestDartSide dart{engine};
  TemporaryDirectory directory;
};

}  // namespace pdf_pages::testing
