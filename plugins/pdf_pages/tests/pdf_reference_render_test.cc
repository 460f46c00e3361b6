// Pages and tiles drawn by the plug-in, composited over white, against independent renderers:
// pdftoppm (poppler's own rasterizer, not cairo) and mutool draw (MuPDF). Antialiased edges may
// differ a little; everything else must match. pdftoppm snaps the edges of filled rectangles to
// whole pixels; where it differs for that reason, mutool decides.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "plugins/pdf_pages/tests/pdf_pages_test_support.h"

namespace pdf_pages::testing {
namespace {

namespace fs = std::filesystem;

constexpr int kTolerance = 6;       // per channel, away from edges
constexpr int kEdgeTolerance = 96;  // per channel, next to an edge of the reference

struct RgbImage {
  size_t width = 0;
  size_t height = 0;
  std::vector<uint8_t> rgb;

  int at(size_t x, size_t y, size_t channel) const { return rgb[(y * width + x) * 3 + channel]; }
};

std::optional<RgbImage> readPpm(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::string magic;
  size_t width = 0, height = 0, maximum = 0;
  file >> magic >> width >> height >> maximum;
  file.get();
  if (!file || magic != "P6" || maximum != 255) return std::nullopt;
  RgbImage image{width, height, std::vector<uint8_t>(width * height * 3)};
  file.read(reinterpret_cast<char*>(image.rgb.data()),
            static_cast<std::streamsize>(image.rgb.size()));
  if (!file) return std::nullopt;
  return image;
}

// Premultiplied RGBA over white.
RgbImage overWhite(const std::vector<uint8_t>& rgba, size_t width, size_t height) {
  RgbImage image{width, height, std::vector<uint8_t>(width * height * 3)};
  for (size_t pixel = 0; pixel < width * height && pixel * 4 + 3 < rgba.size(); ++pixel) {
    int alpha = rgba[pixel * 4 + 3];
    for (size_t channel = 0; channel < 3; ++channel) {
      image.rgb[pixel * 3 + channel] =
          static_cast<uint8_t>(std::min(255, rgba[pixel * 4 + channel] + 255 - alpha));
    }
  }
  return image;
}

bool installed(const std::string& tool) {
  return std::system(("command -v " + tool + " > /dev/null 2>&1").c_str()) == 0;
}

// Whether the reference changes within a pixel of (x, y).
bool nearEdge(const RgbImage& reference, size_t x, size_t y) {
  for (size_t ny = y > 0 ? y - 1 : 0; ny <= std::min(y + 1, reference.height - 1); ++ny) {
    for (size_t nx = x > 0 ? x - 1 : 0; nx <= std::min(x + 1, reference.width - 1); ++nx) {
      for (size_t channel = 0; channel < 3; ++channel) {
        if (std::abs(reference.at(nx, ny, channel) - reference.at(x, y, channel)) > kTolerance) {
          return true;
        }
      }
    }
  }
  return false;
}

bool sameSize(const RgbImage& a, const RgbImage& b) {
  return a.width == b.width && a.height == b.height;
}

bool pixelMatches(const RgbImage& ours, const RgbImage& reference, size_t x, size_t y) {
  int difference = 0;
  for (size_t channel = 0; channel < 3; ++channel) {
    difference =
        std::max(difference, std::abs(ours.at(x, y, channel) - reference.at(x, y, channel)));
  }
  return difference <= (nearEdge(reference, x, y) ? kEdgeTolerance : kTolerance);
}

// Every pixel matches `reference`, or else `arbiter` when there is one.
::testing::AssertionResult matches(const RgbImage& ours, const RgbImage& reference,
                                   const std::optional<RgbImage>& arbiter = std::nullopt) {
  if (!sameSize(ours, reference) || (arbiter && !sameSize(ours, *arbiter))) {
    return ::testing::AssertionFailure()
           << "size " << ours.width << "×" << ours.height << ", reference " << reference.width
           << "×" << reference.height;
  }
  size_t mismatches = 0;
  std::ostringstream first;
  for (size_t y = 0; y < ours.height; ++y) {
    for (size_t x = 0; x < ours.width; ++x) {
      if (pixelMatches(ours, reference, x, y) || (arbiter && pixelMatches(ours, *arbiter, x, y))) {
        continue;
      }
      if (mismatches++ == 0) {
        first << "first at (" << x << ", " << y << "): ours " << ours.at(x, y, 0) << ","
              << ours.at(x, y, 1) << "," << ours.at(x, y, 2) << " reference "
              << reference.at(x, y, 0) << "," << reference.at(x, y, 1) << ","
              << reference.at(x, y, 2);
      }
    }
  }
  if (mismatches == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << mismatches << " pixels differ; " << first.str();
}

class ReferenceRenderTest : public PdfPagesTest {
 protected:
  void SetUp() override {
    std::ofstream(document, std::ios::binary) << fourPageDocument();
    ASSERT_EQ(loadFile("doc", document.string()).value, flutter::Value("4"));
  }

  RgbImage ourPage(int page, size_t width, size_t height) {
    return overWhite(
        bitmapOf(getPage("doc", page, static_cast<int64_t>(width), static_cast<int64_t>(height))),
        width, height);
  }

  // Runs `command` and reads the PPM image it wrote to `output`.
  std::optional<RgbImage> render(const std::string& command, const fs::path& output) {
    if (std::system((command + " > /dev/null 2>&1").c_str()) != 0) return std::nullopt;
    return readPpm(output);
  }

  // pdftoppm scales a page before turning it: on a page turned a quarter its sizes are swapped.
  std::optional<RgbImage> pdftoppmPage(int page, size_t width, size_t height, bool quarterTurn) {
    fs::path prefix = directory.path() / "reference";
    if (quarterTurn) std::swap(width, height);
    std::ostringstream command;
    command << "pdftoppm -cropbox -singlefile -f " << page << " -l " << page << " -scale-to-x "
            << width << " -scale-to-y " << height << " " << document << " " << prefix;
    return render(command.str(), prefix.string() + ".ppm");
  }

  std::optional<RgbImage> mutoolPage(int page, size_t width, size_t height) {
    fs::path output = directory.path() / "reference.ppm";
    std::ostringstream command;
    command << "mutool draw -q -f -w " << width << " -h " << height << " -o " << output << " "
            << document << " " << page;
    return render(command.str(), output);
  }

  fs::path document = directory.path() / "four pages.pdf";
};

struct PageCase {
  int page;
  size_t width;
  size_t height;
};

// Each page at its shown proportions and stretched.
const PageCase kPageCases[] = {
    {1, 306, 396}, {1, 150, 150}, {2, 200, 300}, {2, 120, 90},
    {3, 200, 100}, {3, 101, 77},  {4, 150, 100}, {4, 300, 200},
};

TEST_F(ReferenceRenderTest, PagesMatchPdftoppmOrWhereItSnapsEdgesMutool) {
  if (!installed("pdftoppm")) GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
  bool have_mutool = installed("mutool");
  for (const PageCase& c : kPageCases) {
    auto reference = pdftoppmPage(c.page, c.width, c.height, c.page == 2);
    ASSERT_TRUE(reference) << "pdftoppm failed on page " << c.page;
    auto arbiter = have_mutool ? mutoolPage(c.page, c.width, c.height) : std::nullopt;
    EXPECT_TRUE(matches(ourPage(c.page, c.width, c.height), *reference, arbiter))
        << "page " << c.page << " at " << c.width << "×" << c.height;
  }
}

TEST_F(ReferenceRenderTest, PagesMatchMutool) {
  if (!installed("mutool")) GTEST_SKIP() << "mutool (mupdf-tools) is not installed";
  for (const PageCase& c : kPageCases) {
    auto reference = mutoolPage(c.page, c.width, c.height);
    ASSERT_TRUE(reference) << "mutool failed on page " << c.page;
    EXPECT_TRUE(matches(ourPage(c.page, c.width, c.height), *reference))
        << "page " << c.page << " at " << c.width << "×" << c.height;
  }
}

TEST_F(ReferenceRenderTest, TilesMatchPdftoppmCroppingTheSamePixels) {
  if (!installed("pdftoppm")) GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
  struct TileCase {
    int page;
    double scale;
    double x;
    double y;
    size_t width;
    size_t height;
  };
  // Offsets in whole pixels, so that pdftoppm can crop the same area.
  const TileCase cases[] = {
      {1, 1, 0, 0, 612, 792},     {1, 2, 100, 50, 200, 120}, {1, 0.5, 200, 300, 100, 80},
      {2, 1.5, 20, 40, 180, 240}, {3, 2, 30, 10, 200, 150},  {4, 3, 10, 20, 300, 150},
  };
  for (const TileCase& c : cases) {
    auto ours = overWhite(bitmapOf(getTile("doc", c.page, c.scale, static_cast<double>(c.width),
                                           static_cast<double>(c.height), c.x, c.y)),
                          c.width, c.height);
    fs::path prefix = directory.path() / "tile";
    std::ostringstream command;
    command << "pdftoppm -cropbox -singlefile -f " << c.page << " -l " << c.page << " -r "
            << 72 * c.scale << " -x " << c.x * c.scale << " -y " << c.y * c.scale << " -W "
            << c.width << " -H " << c.height << " " << document << " " << prefix;
    auto reference = render(command.str(), prefix.string() + ".ppm");
    ASSERT_TRUE(reference) << "pdftoppm failed on page " << c.page;
    EXPECT_TRUE(matches(ours, *reference)) << "tile of page " << c.page << " at scale " << c.scale
                                           << " from (" << c.x << ", " << c.y << ")";
  }
}

}  // namespace
}  // namespace pdf_pages::testing
