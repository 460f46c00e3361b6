// The PDF renderer through its channel, as the Dart side drives it.
#include "plugins/pdf_pages/pdf_pages_plugin.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <limits>
#include <mutex>

#include "platform/coregraphics/cg_data_provider.h"
#include "platform/coregraphics/testing/coregraphics_controls.h"
#include "platform/coregraphics/testing/pdf_writer.h"
#include "platform/flutter/flutter_standard_codec.h"
#include "platform/flutter/socket_frame.h"
#include "platform/foundation/testing/blocking_fifo.h"
#include "plugins/pdf_pages/pdf_errors.h"
#include "plugins/pdf_pages/tests/pdf_pages_test_support.h"

namespace pdf_pages::testing {
namespace {

namespace fs = std::filesystem;
using coregraphics::testing::liveDocumentCount;
using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;

constexpr Rgba kTransparent{0, 0, 0, 0};
constexpr Rgba kRed{255, 0, 0, 255};
constexpr Rgba kBlue{0, 0, 255, 255};
constexpr Rgba kGreen{0, 255, 0, 255};
constexpr Rgba kYellow{255, 255, 0, 255};
constexpr Rgba kWhite{255, 255, 255, 255};

std::vector<double> doubles(const Value& value) {
  std::vector<double> result;
  if (const ValueList* list = value.asList()) {
    for (const Value& entry : *list)
      result.push_back(entry.is<double>() ? entry.get<double>() : -1);
  }
  return result;
}

void expectError(const flutter::testing::MethodReply& reply, const std::string& code) {
  ASSERT_TRUE(reply.isError()) << reply.describe();
  EXPECT_EQ(reply.error.code, code) << reply.describe();
}

std::string fileUrlOf(const fs::path& path) {
  std::string url = "file://";
  for (unsigned char c : path.string()) {
    if (std::isalnum(c) || c == '/' || c == '-' || c == '.' || c == '_') {
      url.push_back(static_cast<char>(c));
    } else {
      char escape[4];
      std::snprintf(escape, sizeof escape, "%%%02X", c);
      url += escape;
    }
  }
  return url;
}

using LoadingTest = PdfPagesTest;

TEST_F(LoadingTest, AnswersThePageCountAndReloadingAnIdReplacesTheDocument) {
  // The host parses no document: a worker reads it.
  size_t baseline = liveDocumentCount();
  EXPECT_EQ(loadBytes("doc", fourPageDocument()).value, Value("4"));
  EXPECT_EQ(liveDocumentCount(), baseline);

  EXPECT_EQ(loadBytes("doc", twoPageDocument()).value, Value("2"));
  EXPECT_EQ(liveDocumentCount(), baseline);
  EXPECT_EQ(doubles(call("getPagesWidth", Value("doc")).value), (std::vector<double>{200, 100}));

  // A password for a document that is not encrypted is ignored.
  EXPECT_EQ(loadBytes("doc", fourPageDocument(), "anything").value, Value("4"));
}

TEST_F(LoadingTest, WhatIsNotAPdfIsRefusedAndNothingIsStored) {
  expectError(loadBytes("bad", "just some text, no PDF here"), "PDF_LOAD_FAILED");
  expectError(loadBytes("bad", ""), "PDF_LOAD_FAILED");
  std::string truncated = fourPageDocument().substr(0, 40);
  expectError(loadBytes("bad", truncated), "PDF_LOAD_FAILED");

  fs::path text = directory.path() / "notes.pdf";
  std::ofstream(text) << "not a PDF";
  expectError(loadFile("bad", text.string()), "PDF_LOAD_FAILED");
  expectError(loadFile("bad", (directory.path() / "missing.pdf").string()), "PDF_LOAD_FAILED");
  expectError(loadFile("bad", directory.path().string()), "PDF_LOAD_FAILED");

  expectError(call("getPagesWidth", Value("bad")), "PDF_UNKNOWN_DOCUMENT");
}

TEST_F(LoadingTest, OnlyRegularFilesWithinTheLimitAreReadAndNothingWaitsOnAFifo) {
  ASSERT_EQ(loadBytes("doc", twoPageDocument()).value, Value("2"));
  foundation::testing::BlockingFifo fifo((directory.path() / "fifo.pdf").string());
  ASSERT_TRUE(fifo.created());
  expectError(loadFile("doc", fifo.path()), "PDF_LOAD_FAILED");
  expectError(loadFile("doc", fileUrlOf(fifo.path())), "PDF_LOAD_FAILED");
  EXPECT_FALSE(fifo.rescued()) << "the load waited for a writer";

  fs::path link = directory.path() / "link.pdf";
  fs::create_symlink("/dev/zero", link);
  for (const std::string& path :
       {std::string("/dev/zero"), link.string(), directory.path().string()}) {
    expectError(loadFile("doc", path), "PDF_LOAD_FAILED");
  }

  // Larger than the limit: refused before anything is read.
  fs::path huge = directory.path() / "huge.pdf";
  std::ofstream(huge, std::ios::binary) << twoPageDocument();
  fs::resize_file(huge, kCGDataProviderMaxFileBytes + 1);
  expectError(loadFile("doc", huge.string()), "PDF_LOAD_FAILED");

  // A kernel file that says it is empty and never ends: refused after its first byte, not at the
  // limit (which took seconds of CPU and hundreds of MiB).
  const std::clock_t before = std::clock();
  expectError(loadFile("doc", "/proc/self/pagemap"), "PDF_LOAD_FAILED");
  expectError(loadFile("doc", "/proc/self/status"), "PDF_LOAD_FAILED");
  EXPECT_LT(double(std::clock() - before) / CLOCKS_PER_SEC, 1.0);

  // Every failure left the earlier document in place.
  EXPECT_EQ(doubles(call("getPagesWidth", Value("doc")).value), (std::vector<double>{200, 100}));
}

TEST_F(LoadingTest, LoadsAndClosesTakeEffectInTheOrderSent) {
  fs::path file = directory.path() / "four.pdf";
  std::ofstream(file, std::ios::binary) << fourPageDocument();
  auto load = [&](const std::string& method, const char* key, Value source) {
    return dart.invokeMethodAsync(
        "pdf_pages", method,
        Value(ValueMap{{Value(key), std::move(source)}, {Value("documentID"), Value("doc")}}));
  };
  auto fromFile = load("loadPdfFromFile", "path", Value(file.string()));
  std::string two = twoPageDocument();
  auto fromBytes = load("initializePdfRenderer", "documentBytes",
                        Value(std::vector<uint8_t>(two.begin(), two.end())));
  EXPECT_EQ(fromFile.wait().value, Value("4"));
  EXPECT_EQ(fromBytes.wait().value, Value("2"));
  EXPECT_EQ(doubles(call("getPagesWidth", Value("doc")).value).size(), 2u);

  auto again = load("loadPdfFromFile", "path", Value(file.string()));
  auto closed = dart.invokeMethodAsync("pdf_pages", "closeDocument", Value("doc"));
  EXPECT_EQ(again.wait().value, Value("4"));
  EXPECT_TRUE(closed.wait().isSuccess());
  expectError(call("getPagesWidth", Value("doc")), "PDF_UNKNOWN_DOCUMENT");
}

TEST_F(LoadingTest, OpensPlainPathsFileUrlsWithEscapesAndUnparsableUrlsAsPaths) {
  fs::path file = directory.path() / "my doc #1 %.pdf";
  std::string pdf = twoPageDocument();
  std::ofstream(file, std::ios::binary) << pdf;

  EXPECT_EQ(loadFile("plain", file.string()).value, Value("2"));
  EXPECT_EQ(loadFile("url", fileUrlOf(file)).value, Value("2"));
  EXPECT_EQ(loadFile("localhost", "file://localhost" + fileUrlOf(file).substr(7)).value,
            Value("2"));

  // "file://" followed by a raw path with a space is not a URL: it is a path, relative to the
  // current directory, where "file:" is the first directory.
  std::string unparsable = "file://" + (directory.path() / "inner dir" / "doc.pdf").string();
  fs::path as_path = directory.path() / "file:" / directory.path().relative_path() / "inner dir";
  fs::create_directories(as_path);
  std::ofstream(as_path / "doc.pdf", std::ios::binary) << fourPageDocument();
  fs::create_directories(directory.path() / "inner dir");
  std::ofstream(directory.path() / "inner dir" / "doc.pdf", std::ios::binary) << pdf;

  fs::path previous = fs::current_path();
  fs::current_path(directory.path());
  auto reply = loadFile("relative", unparsable);
  fs::current_path(previous);
  EXPECT_EQ(reply.value, Value("4")) << reply.describe();
}

using PasswordTest = PdfPagesTest;

TEST_F(PasswordTest, WithoutItTheDocumentIsStoredLockedWithNoPages) {
  EXPECT_EQ(loadFile("locked", userPasswordFixture().string()).value, Value("0"));
  EXPECT_EQ(call("getPagesWidth", Value("locked")).value, Value(ValueList{}));
  expectError(getPage("locked", 1, 10, 10), "PDF_INVALID_PAGE");

  // A password that is not a string counts as none.
  ValueMap arguments{{Value("path"), Value(userPasswordFixture().string())},
                     {Value("documentID"), Value("locked")},
                     {Value("password"), Value(int32_t{7})}};
  EXPECT_EQ(call("loadPdfFromFile", Value(arguments)).value, Value("0"));
}

TEST_F(PasswordTest, AWrongOneKeepsTheEarlierDocumentAndARightOneUnlocks) {
  std::string encrypted = readFile(userPasswordFixture());
  ASSERT_EQ(loadBytes("doc", fourPageDocument()).value, Value("4"));

  auto wrong = loadBytes("doc", encrypted, "wrong");
  expectError(wrong, "PDF_UNLOCK_FAILED");
  EXPECT_EQ(wrong.error.message, "Failed to unlock the PDF with the provided password");
  EXPECT_TRUE(wrong.error.details.isNull());
  EXPECT_EQ(doubles(call("getPagesWidth", Value("doc")).value).size(), 4u);

  EXPECT_EQ(loadBytes("doc", encrypted, "secret").value, Value("2"));
  EXPECT_EQ(doubles(call("getPagesHeight", Value("doc")).value), (std::vector<double>{100, 300}));
  auto bitmap = bitmapOf(getPage("doc", 1, 200, 100));
  EXPECT_TRUE(near(pixelAt(bitmap, 200, 10, 50), kRed));
  EXPECT_TRUE(near(pixelAt(bitmap, 200, 150, 50), kTransparent));

  EXPECT_EQ(loadFile("by-owner", userPasswordFixture().string(), "owner-secret").value, Value("2"));
}

TEST_F(PasswordTest, AnOwnerOnlyDocumentOpensWithoutOneButRefusesAWrongOne) {
  std::string encrypted = readFile(ownerPasswordFixture());
  EXPECT_EQ(loadBytes("doc", encrypted).value, Value("2"));
  expectError(loadBytes("doc", encrypted, "wrong"), "PDF_UNLOCK_FAILED");
  // poppler-glib would pass a password outside Latin-1 on as the empty one, which opens this file.
  expectError(loadBytes("doc", encrypted, "\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C"),
              "PDF_UNLOCK_FAILED");
  EXPECT_EQ(loadBytes("doc", encrypted, "owner-secret").value, Value("2"));
}

TEST_F(PasswordTest, NonAsciiPasswordsUnlockEveryRevisionInItsOwnEncoding) {
  // AES-256 documents take the password as UTF-8; older revisions as Latin-1.
  const std::string umlaut = "p\xC3\xA4ssword";
  const std::string chinese = "\xE5\xAF\x86\xE7\xA0\x81";
  EXPECT_EQ(loadFile("aes", fixture("aes256_umlaut_password.pdf").string(), umlaut).value,
            Value("2"));
  EXPECT_EQ(loadBytes("aes", readFile(fixture("aes256_umlaut_password.pdf")), umlaut).value,
            Value("2"));
  EXPECT_EQ(loadFile("aes", fixture("aes256_umlaut_password.pdf").string(), "owner-p\xC3\xA4ssword")
                .value,
            Value("2"));
  EXPECT_EQ(loadFile("cjk", fixture("aes256_cjk_password.pdf").string(), chinese).value,
            Value("2"));
  EXPECT_EQ(loadBytes("rc4", readFile(fixture("rc4_umlaut_password.pdf")), umlaut).value,
            Value("2"));
  auto bitmap = bitmapOf(getPage("cjk", 1, 200, 100));
  EXPECT_TRUE(near(pixelAt(bitmap, 200, 10, 50), kRed));

  // Another password opens nothing, whatever its characters.
  expectError(loadFile("x", fixture("aes256_umlaut_password.pdf").string(), "p\xC3\xA4sswort"),
              "PDF_UNLOCK_FAILED");
  expectError(loadFile("x", fixture("aes256_cjk_password.pdf").string(), umlaut),
              "PDF_UNLOCK_FAILED");
  expectError(loadFile("x", fixture("rc4_umlaut_password.pdf").string(), chinese),
              "PDF_UNLOCK_FAILED");
  expectError(loadFile("x", fixture("aes256_cjk_password.pdf").string(), ""), "PDF_UNLOCK_FAILED");
  expectError(loadFile("x", userPasswordFixture().string(), std::string("secret\0more", 11)),
              "PDF_UNLOCK_FAILED");
}

TEST_F(PasswordTest, PasswordsLongerThanAnyRevisionReadsAreRefusedLikeOtherWrongOnes) {
  for (size_t length : {128, 1000}) {
    const std::string long_password(length, 'b');
    SCOPED_TRACE(length);
    expectError(loadFile("x", userPasswordFixture().string(), long_password), "PDF_UNLOCK_FAILED");
    expectError(loadFile("x", ownerPasswordFixture().string(), long_password), "PDF_UNLOCK_FAILED");
    expectError(loadFile("x", fixture("rc4_umlaut_password.pdf").string(), long_password),
                "PDF_UNLOCK_FAILED");
  }
  EXPECT_EQ(loadFile("doc", userPasswordFixture().string(), "secret").value, Value("2"));
}

using PageSizeTest = PdfPagesTest;

TEST_F(PageSizeTest, AreTheCropBoxesTurnedByTheirRotation) {
  ASSERT_EQ(loadBytes("doc", fourPageDocument()).value, Value("4"));
  std::vector<double> widths = doubles(call("getPagesWidth", Value("doc")).value);
  std::vector<double> heights = doubles(call("getPagesHeight", Value("doc")).value);
  std::vector<double> expected_widths{612, 200, 200, 150};
  std::vector<double> expected_heights{792, 300, 100, 100};
  ASSERT_EQ(widths.size(), 4u);
  ASSERT_EQ(heights.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_NEAR(widths[i], expected_widths[i], 1e-9) << "page " << i + 1;
    EXPECT_NEAR(heights[i], expected_heights[i], 1e-9) << "page " << i + 1;
  }

  expectError(call("getPagesWidth", Value(ValueMap{{Value("documentID"), Value("doc")}})),
              "PDF_INVALID_ARGUMENTS");
  expectError(call("getPagesHeight", Value("unknown")), "PDF_UNKNOWN_DOCUMENT");
}

TEST_F(PageSizeTest, ClosingReleasesTheDocumentAndAnswersNull) {
  size_t baseline = liveDocumentCount();
  ASSERT_TRUE(loadBytes("a", fourPageDocument()).isSuccess());
  ASSERT_TRUE(loadBytes("b", twoPageDocument()).isSuccess());
  EXPECT_EQ(liveDocumentCount(), baseline);  // measured in the worker

  auto closed = call("closeDocument", Value("a"));
  ASSERT_TRUE(closed.isSuccess()) << closed.describe();
  EXPECT_TRUE(closed.value.isNull());
  expectError(call("getPagesHeight", Value("a")), "PDF_UNKNOWN_DOCUMENT");
  EXPECT_EQ(doubles(call("getPagesHeight", Value("b")).value).size(), 2u);

  // An id never loaded changes nothing.
  EXPECT_TRUE(call("closeDocument", Value("never")).isSuccess());
  EXPECT_EQ(doubles(call("getPagesHeight", Value("b")).value).size(), 2u);
  expectError(call("closeDocument", Value(int32_t{1})), "PDF_INVALID_ARGUMENTS");
}

TEST_F(PageSizeTest, TheCountTheSizesAndThePagesThatDrawAgreeOnADamagedPageTree) {
  // The page tree lists itself and one page, and claims two.
  const std::string cyclic =
      handMadeDocument({{1, "<< /Type /Catalog /Pages 2 0 R >>"},
                        {2, "<< /Type /Pages /Kids [2 0 R 3 0 R] /Count 2 >>"},
                        {3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100 50] >>"}});
  ASSERT_EQ(loadBytes("doc", cyclic).value, Value("1"));
  EXPECT_EQ(doubles(call("getPagesWidth", Value("doc")).value), std::vector<double>{100});
  EXPECT_EQ(doubles(call("getPagesHeight", Value("doc")).value), std::vector<double>{50});
  EXPECT_EQ(bitmapOf(getPage("doc", 1, 10, 5)).size(), 200u);
  auto past = getPage("doc", 2, 10, 10);
  expectError(past, "PDF_INVALID_PAGE");
  EXPECT_EQ(past.error.message, "The document has no page 2 (it has 1)");
}

using PageRenderTest = PdfPagesTest;

TEST_F(PageRenderTest, DrawsTheCropBoxOverTheWholeBitmapInPremultipliedRgba) {
  ASSERT_TRUE(loadBytes("doc", fourPageDocument()).isSuccess());
  auto half = bitmapOf(getPage("doc", 1, 306, 396));
  ASSERT_EQ(half.size(), 484704u);
  EXPECT_TRUE(near(pixelAt(half, 306, 10, 390), kRed));
  EXPECT_TRUE(near(pixelAt(half, 306, 300, 5), kBlue));
  EXPECT_TRUE(near(pixelAt(half, 306, 55, 27), kYellow));
  EXPECT_TRUE(near(pixelAt(half, 306, 5, 5), kTransparent));          // no background is painted
  EXPECT_TRUE(near(pixelAt(half, 306, 225, 320), {128, 0, 0, 128}));  // the 50% red square

  // Stretched to a square: both halves of each axis still meet in the middle.
  auto square = bitmapOf(getPage("doc", 1, 100, 100));
  ASSERT_EQ(square.size(), 40000u);
  EXPECT_TRUE(near(pixelAt(square, 100, 45, 55), kRed));
  EXPECT_TRUE(near(pixelAt(square, 100, 55, 45), kBlue));
  EXPECT_TRUE(near(pixelAt(square, 100, 45, 45), kTransparent));
}

TEST_F(PageRenderTest, ShowsRotatedPagesUprightAndCropOffsetsAtTheOrigin) {
  ASSERT_TRUE(loadBytes("doc", fourPageDocument()).isSuccess());

  // A quarter turn clockwise: the crop box's bottom-left corner comes to the top-left.
  auto quarter = bitmapOf(getPage("doc", 2, 200, 300));
  ASSERT_EQ(quarter.size(), 200u * 4 * 300);
  EXPECT_TRUE(near(pixelAt(quarter, 200, 10, 10), kRed));
  EXPECT_TRUE(near(pixelAt(quarter, 200, 190, 290), kBlue));
  EXPECT_TRUE(near(pixelAt(quarter, 200, 190, 10), kTransparent));

  auto upside_down = bitmapOf(getPage("doc", 3, 200, 100));
  EXPECT_TRUE(near(pixelAt(upside_down, 200, 190, 10), kRed));
  EXPECT_TRUE(near(pixelAt(upside_down, 200, 10, 90), kTransparent));

  // Only the crop box shows: the red around it stays out.
  auto cropped = bitmapOf(getPage("doc", 4, 150, 100));
  EXPECT_TRUE(near(pixelAt(cropped, 150, 10, 90), kGreen));
  EXPECT_TRUE(near(pixelAt(cropped, 150, 0, 0), kWhite));
  EXPECT_TRUE(near(pixelAt(cropped, 150, 149, 99), kWhite));
}

TEST_F(PageRenderTest, ABitmapOfTheSizeDrawnBeforeShowsNothingOfTheEarlierPage) {
  ASSERT_TRUE(loadBytes("doc", fourPageDocument()).isSuccess());
  EXPECT_TRUE(near(pixelAt(bitmapOf(getPage("doc", 1, 200, 100)), 200, 10, 90), kRed));
  auto next = bitmapOf(getPage("doc", 3, 200, 100));
  EXPECT_TRUE(near(pixelAt(next, 200, 10, 90), kTransparent));
  EXPECT_TRUE(near(pixelAt(next, 200, 190, 10), kRed));
}

// An answer's bitmap is the memory the worker drew into: one that is kept (a result that holds
// its value rather than encoding it at once) never shows a later drawing.
TEST(KeptBitmapTest, ABitmapHeldWhileTheNextIsDrawnNeverChanges) {
  auto plugin = std::make_shared<PdfPagesPlugin>();
  std::mutex mutex;
  std::condition_variable answered;
  std::vector<FlutterMethodResponse> answers;
  auto callAndKeep = [&](const std::string& method, Value arguments) {
    std::unique_lock lock(mutex);
    const size_t before = answers.size();
    lock.unlock();
    plugin->handleMethodCall({method, std::move(arguments)},
                             FlutterResult([&](FlutterMethodResponse response) {
                               std::lock_guard guard(mutex);
                               answers.push_back(std::move(response));
                               answered.notify_all();
                             }));
    lock.lock();
    EXPECT_TRUE(
        answered.wait_for(lock, std::chrono::seconds(60), [&] { return answers.size() > before; }));
    return before;
  };
  auto encodedBitmap = [&](size_t index) {
    std::lock_guard guard(mutex);
    auto bytes = FlutterStandardMethodCodec::sharedInstance()->encodeSuccessEnvelope(
        std::get<Value>(answers.at(index)));
    return std::get<Value>(FlutterStandardMethodCodec::sharedInstance()->decodeEnvelope(bytes))
        .get<std::vector<uint8_t>>();
  };
  const std::string pdf = fourPageDocument();
  callAndKeep(
      "initializePdfRenderer",
      Value(ValueMap{{Value("documentBytes"), Value(std::vector<uint8_t>(pdf.begin(), pdf.end()))},
                     {Value("documentID"), Value("doc")}}));
  auto page = [](int64_t index) {
    return Value(ValueMap{{Value("index"), Value(index)},
                          {Value("width"), Value(int64_t{200})},
                          {Value("height"), Value(int64_t{100})},
                          {Value("documentID"), Value("doc")}});
  };
  const size_t first = callAndKeep("getPage", page(1));
  const std::vector<uint8_t> drawn = encodedBitmap(first);
  EXPECT_TRUE(near(pixelAt(drawn, 200, 10, 90), kRed));
  const size_t second = callAndKeep("getPage", page(3));
  EXPECT_EQ(encodedBitmap(first), drawn);
  EXPECT_TRUE(near(pixelAt(encodedBitmap(second), 200, 190, 10), kRed));
}

using TileRenderTest = PdfPagesTest;

TEST_F(TileRenderTest, ShowsThePartBelowAndRightOfTheOffsetMagnifiedOverWhite) {
  ASSERT_TRUE(loadBytes("doc", fourPageDocument()).isSuccess());

  auto whole = bitmapOf(getTile("doc", 1, 1, 612, 792, 0, 0));
  ASSERT_EQ(whole.size(), 612u * 4 * 792);
  EXPECT_TRUE(near(pixelAt(whole, 612, 5, 5), kWhite));
  EXPECT_TRUE(near(pixelAt(whole, 612, 10, 780), kRed));
  EXPECT_TRUE(near(pixelAt(whole, 612, 450, 640), {255, 128, 128, 255}));  // 50% red on white

  // Scale 2 from (100, 50): the yellow mark's top-left corner is the tile's.
  auto zoomed = bitmapOf(getTile("doc", 1, 2, 100, 60, 100, 50));
  ASSERT_EQ(zoomed.size(), 100u * 4 * 60);
  EXPECT_TRUE(near(pixelAt(zoomed, 100, 0, 0), kYellow));
  EXPECT_TRUE(near(pixelAt(zoomed, 100, 38, 18), kYellow));
  EXPECT_TRUE(near(pixelAt(zoomed, 100, 42, 10), kWhite));
  EXPECT_TRUE(near(pixelAt(zoomed, 100, 10, 22), kWhite));
}

TEST_F(TileRenderTest, TruncatesFractionalSizesButPlacesThePageByTheRequestedHeight) {
  ASSERT_TRUE(loadBytes("doc", fourPageDocument()).isSuccess());
  EXPECT_EQ(bitmapOf(getTile("doc", 1, 1, 300.9, 200.5, 0, 0)).size(), 300u * 4 * 200);

  // The blue quadrant's lower edge falls half a pixel into row 100 because the height is 200.5.
  auto tile = bitmapOf(getTile("doc", 1, 1, 100.9, 200.5, 306, 295));
  EXPECT_TRUE(near(pixelAt(tile, 100, 50, 99), kBlue));
  EXPECT_TRUE(near(pixelAt(tile, 100, 50, 100), {128, 128, 255, 255}, 3));
  EXPECT_TRUE(near(pixelAt(tile, 100, 50, 101), kWhite));
}

TEST_F(TileRenderTest, PaintsWhiteExactlyUnderThePageArea) {
  ASSERT_TRUE(loadBytes("doc", fourPageDocument()).isSuccess());
  auto reduced = bitmapOf(getTile("doc", 1, 0.5, 306, 396, 0, 0));
  size_t transparent = 0;
  for (size_t i = 3; i < reduced.size(); i += 4) transparent += reduced[i] != 255;
  EXPECT_EQ(transparent, 0u);

  // Left of the page's left edge nothing is painted.
  auto beyond = bitmapOf(getTile("doc", 1, 1, 50, 50, -10, 0));
  EXPECT_TRUE(near(pixelAt(beyond, 50, 5, 5), kTransparent));
  EXPECT_TRUE(near(pixelAt(beyond, 50, 15, 5), kWhite));
}

// Bitmaps of several MiB take another way to their memory: every byte beyond the page must
// still be transparent, and the page still drawn.
TEST_F(TileRenderTest, LargeBitmapsAreTransparentEverywhereNothingIsDrawn) {
  ASSERT_TRUE(loadBytes("doc", fourPageDocument()).isSuccess());
  constexpr size_t kWidth = 2048, kHeight = 1200;
  auto tile = bitmapOf(getTile("doc", 1, 1, kWidth, kHeight, 0, 0));
  ASSERT_EQ(tile.size(), kWidth * 4 * kHeight);
  size_t drawn_beyond = 0;
  for (size_t y = 0; y < kHeight; ++y) {
    for (size_t x = 0; x < kWidth; ++x) {
      if (x < 612 && y < 792) continue;
      const uint8_t* pixel = &tile[(y * kWidth + x) * 4];
      drawn_beyond += (pixel[0] | pixel[1] | pixel[2] | pixel[3]) != 0;
    }
  }
  EXPECT_EQ(drawn_beyond, 0u);
  EXPECT_TRUE(near(pixelAt(tile, kWidth, 5, 5), kWhite));
  EXPECT_TRUE(near(pixelAt(tile, kWidth, 10, 780), kRed));

  auto page = bitmapOf(getPage("doc", 1, 1224, 1584));
  ASSERT_EQ(page.size(), 1224u * 4 * 1584);
  EXPECT_TRUE(near(pixelAt(page, 1224, 20, 1560), kRed));
  EXPECT_TRUE(near(pixelAt(page, 1224, 20, 20), kTransparent));
}

// The worker draws into the memory of its last bitmap of the same size, clearing only what that
// one may have left and this one does not paint over: every bitmap is the same, byte for byte, as
// one drawn into fresh memory, whether the page area covers it whole, covers part of it or is a
// whole page.
TEST_F(TileRenderTest, ABitmapDrawnOverAnEarlierOneIsTheSameAsOneDrawnFresh) {
  ASSERT_TRUE(loadBytes("doc", fourPageDocument()).isSuccess());
  struct Drawing {
    int64_t page;
    double scale, width, height, x, y;  // scale 0: the whole page
  };
  auto draw = [&](const Drawing& d) {
    return bitmapOf(d.scale == 0 ? getPage("doc", d.page, static_cast<int64_t>(d.width),
                                           static_cast<int64_t>(d.height))
                                 : getTile("doc", d.page, d.scale, d.width, d.height, d.x, d.y));
  };
  const std::vector<Drawing> drawings = {
      {1, 2.0, 200, 150, 80, 40},    // within the page: its white covers every pixel
      {1, 1.5, 190, 140, 520, 700},  // over the page's right and bottom edges
      {1, 0.7, 180, 130, -20, -15},  // over its left and top edges
      {3, 0.0, 170, 120, 0, 0},      // a whole page, transparent where nothing is drawn
  };
  for (const Drawing& drawing : drawings) {
    const auto fresh = draw(drawing);  // the first bitmap of its size
    // A bitmap of the same size with other pixels everywhere: opaque, translucent and clear.
    draw({2, 3.0, drawing.width, drawing.height, 0, 0});
    EXPECT_TRUE(draw(drawing) == fresh) << "page " << drawing.page << " at " << drawing.x;
    draw({1, 0.0, drawing.width, drawing.height, 0, 0});
    EXPECT_TRUE(draw(drawing) == fresh) << "page " << drawing.page << " at " << drawing.x;
  }
  // The same bytes in another shape: what the one left is not where the other's rows put it.
  const Drawing tall{1, 2.0, 120, 250, 560, 700};
  const auto fresh_tall = draw(tall);
  draw({1, 1.0, 250, 120, 500, 700});
  EXPECT_TRUE(draw(tall) == fresh_tall);
  draw({1, 2.5, 250, 120, 0, 0});
  EXPECT_TRUE(draw(tall) == fresh_tall);
}

TEST_F(TileRenderTest, ExtremeButFiniteValuesDrawWithoutHarm) {
  ASSERT_TRUE(loadBytes("doc", fourPageDocument()).isSuccess());
  EXPECT_EQ(bitmapOf(getTile("doc", 1, 1e9, 64, 64, 300, 300)).size(), 64u * 4 * 64);
  EXPECT_EQ(bitmapOf(getTile("doc", 2, 1e-12, 64, 64, -1e300, 1e300)).size(), 64u * 4 * 64);
  EXPECT_EQ(bitmapOf(getTile("doc", 3, 4, 32767, 2, 0, 0)).size(), 32767u * 4 * 2);
}

using RefusalTest = PdfPagesTest;

TEST_F(RefusalTest, EveryMalformedCallGetsAClearError) {
  ASSERT_TRUE(loadBytes("doc", fourPageDocument()).isSuccess());
  auto page = [](Value index, Value width, Value height, Value id = Value("doc")) {
    return Value(ValueMap{{Value("index"), std::move(index)},
                          {Value("width"), std::move(width)},
                          {Value("height"), std::move(height)},
                          {Value("documentID"), std::move(id)}});
  };
  auto tile = [](Value scale, Value width, Value height, Value x = Value(0.0),
                 Value page_number = Value(int32_t{1})) {
    return Value(ValueMap{{Value("pageNumber"), std::move(page_number)},
                          {Value("scale"), std::move(scale)},
                          {Value("width"), std::move(width)},
                          {Value("height"), std::move(height)},
                          {Value("x"), std::move(x)},
                          {Value("y"), Value(0.0)},
                          {Value("documentID"), Value("doc")}});
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double infinity = std::numeric_limits<double>::infinity();
  const Value one(int32_t{1}), ten(int32_t{10});
  struct Case {
    const char* what;
    const char* method;
    Value arguments;
    const char* code;
  };
  const Case cases[] = {
      {"arguments not a map", "getPage", Value("doc"), "PDF_INVALID_ARGUMENTS"},
      {"index missing", "getPage",
       Value(ValueMap{
           {Value("width"), ten}, {Value("height"), ten}, {Value("documentID"), Value("doc")}}),
       "PDF_INVALID_ARGUMENTS"},
      {"index as a string", "getPage", page(Value("1"), ten, ten), "PDF_INVALID_ARGUMENTS"},
      {"width as a double", "getPage", page(one, Value(10.0), ten), "PDF_INVALID_ARGUMENTS"},
      {"id not a string", "getPage", page(one, ten, ten, Value(int32_t{3})),
       "PDF_INVALID_ARGUMENTS"},
      {"width 0", "getPage", page(one, Value(int32_t{0}), ten), "PDF_INVALID_SIZE"},
      {"negative height", "getPage", page(one, ten, Value(int32_t{-5})), "PDF_INVALID_SIZE"},
      {"side too long", "getPage", page(one, Value(int64_t{40000}), one), "PDF_INVALID_SIZE"},
      {"too many bytes", "getPage", page(one, Value(int32_t{20000}), Value(int32_t{20000})),
       "PDF_INVALID_SIZE"},
      {"overflowing size", "getPage", page(one, Value(INT64_MAX), Value(INT64_MAX)),
       "PDF_INVALID_SIZE"},
      {"page 0", "getPage", page(Value(int32_t{0}), ten, ten), "PDF_INVALID_PAGE"},
      {"page past the end", "getPage", page(Value(int32_t{5}), ten, ten), "PDF_INVALID_PAGE"},
      {"negative page", "getPage", page(Value(int64_t{-1}), ten, ten), "PDF_INVALID_PAGE"},
      {"unknown id", "getPage", page(one, ten, ten, Value("other")), "PDF_UNKNOWN_DOCUMENT"},
      {"scale as a string", "getTileImage", tile(Value("2"), Value(10.0), Value(10.0)),
       "PDF_INVALID_ARGUMENTS"},
      {"scale NaN", "getTileImage", tile(Value(nan), Value(10.0), Value(10.0)),
       "PDF_INVALID_ARGUMENTS"},
      {"scale 0", "getTileImage", tile(Value(0.0), Value(10.0), Value(10.0)),
       "PDF_INVALID_ARGUMENTS"},
      {"negative scale", "getTileImage", tile(Value(-1.0), Value(10.0), Value(10.0)),
       "PDF_INVALID_ARGUMENTS"},
      {"infinite x", "getTileImage", tile(Value(1.0), Value(10.0), Value(10.0), Value(infinity)),
       "PDF_INVALID_ARGUMENTS"},
      {"width NaN", "getTileImage", tile(Value(1.0), Value(nan), Value(10.0)), "PDF_INVALID_SIZE"},
      {"width under a pixel", "getTileImage", tile(Value(1.0), Value(0.9), Value(10.0)),
       "PDF_INVALID_SIZE"},
      {"huge width", "getTileImage", tile(Value(1.0), Value(1e300), Value(10.0)),
       "PDF_INVALID_SIZE"},
      {"negative height", "getTileImage", tile(Value(1.0), Value(10.0), Value(-3.0)),
       "PDF_INVALID_SIZE"},
      {"tile page 0", "getTileImage",
       tile(Value(1.0), Value(10.0), Value(10.0), Value(0.0), Value(int32_t{0})),
       "PDF_INVALID_PAGE"},
      {"bytes missing", "initializePdfRenderer", Value(ValueMap{{Value("documentID"), Value("x")}}),
       "PDF_INVALID_ARGUMENTS"},
      {"bytes as a string", "initializePdfRenderer",
       Value(ValueMap{{Value("documentBytes"), Value("%PDF")}, {Value("documentID"), Value("x")}}),
       "PDF_INVALID_ARGUMENTS"},
      {"id missing", "initializePdfRenderer",
       Value(ValueMap{{Value("documentBytes"), Value(std::vector<uint8_t>{1})}}),
       "PDF_INVALID_ARGUMENTS"},
      {"path not a string", "loadPdfFromFile",
       Value(ValueMap{{Value("path"), Value(int32_t{1})}, {Value("documentID"), Value("x")}}),
       "PDF_INVALID_ARGUMENTS"},
      {"null arguments", "loadPdfFromFile", Value(), "PDF_INVALID_ARGUMENTS"},
  };
  for (const Case& c : cases) {
    auto reply = call(c.method, c.arguments);
    ASSERT_TRUE(reply.isError()) << c.what << ": " << reply.describe();
    EXPECT_EQ(reply.error.code, c.code) << c.what << ": " << reply.describe();
  }
  // Nothing was stored under the ids of the refused loads.
  expectError(call("getPagesWidth", Value("x")), "PDF_UNKNOWN_DOCUMENT");
}

// A bitmap travels in one reply frame: one whose reply cannot fit is refused before it is drawn,
// as a size that cannot be drawn, and the largest the size check lets through does fit.
TEST_F(RefusalTest, ABitmapWhoseReplyCannotFitAFrameIsRefusedAsAnInvalidSize) {
  ASSERT_TRUE(loadBytes("doc", fourPageDocument()).isSuccess());
  struct Size {
    int64_t width, height;
  };
  // 64 MiB exactly and more, up to what the side and byte limits once let through.
  // Not described on failure: a bitmap of 64 MiB is too large to print.
  auto invalidSize = [](const flutter::testing::MethodReply& reply) {
    return reply.isError() && reply.error.code == "PDF_INVALID_SIZE";
  };
  for (const Size& size : {Size{4096, 4096}, Size{8192, 8192}, Size{32767, 2048}}) {
    EXPECT_TRUE(invalidSize(getPage("doc", 1, size.width, size.height)))
        << size.width << " x " << size.height;
    EXPECT_TRUE(invalidSize(getTile("doc", 1, 1, static_cast<double>(size.width),
                                    static_cast<double>(size.height), 0, 0)))
        << size.width << " x " << size.height;
  }
  auto largest = getPage("doc", 1, 4096, 4095);
  ASSERT_TRUE(largest.isSuccess()) << largest.error.code;
  const auto reply =
      FlutterStandardMethodCodec::sharedInstance()->encodeSuccessEnvelope(largest.value);
  EXPECT_TRUE(flutter::encodeSocketFrameHead(flutter::SocketFrameKind::replyFromHost, 1, {}, true,
                                             reply.size())
                  .has_value())
      << reply.size() << " bytes";
}

TEST_F(RefusalTest, ArgumentErrorsNameTheFirstBadKeyAndWhatItMustBe) {
  const Value one(int32_t{1});
  auto map = [](std::initializer_list<std::pair<const char*, Value>> entries) {
    ValueMap map;
    for (const auto& [key, value] : entries) map.set(Value(key), value);
    return Value(std::move(map));
  };
  const std::pair<Value, const char*> pages[] = {
      {Value("doc"), "The arguments must be a map"},
      {map({{"width", one}}), "\"index\" is missing"},
      {map({{"index", Value()}}), "\"index\" must be an integer"},
      {map({{"index", one}, {"width", Value("1")}}), "\"width\" must be an integer"},
      {map({{"index", one}, {"width", one}, {"height", one}}), "\"documentID\" is missing"},
  };
  for (const auto& [arguments, message] : pages) {
    auto reply = call("getPage", arguments);
    EXPECT_EQ(reply.error, pdfError(kInvalidArgumentsCode, message)) << reply.describe();
  }
  auto tile = call("getTileImage", map({{"pageNumber", one}, {"scale", one}}));
  EXPECT_EQ(tile.error, pdfError(kInvalidArgumentsCode, "\"scale\" must be a double"));
  auto bytes = call("initializePdfRenderer", map({{"documentBytes", Value("%PDF")}}));
  EXPECT_EQ(bytes.error, pdfError(kInvalidArgumentsCode, "\"documentBytes\" must be typed data"));
  auto path = call("loadPdfFromFile", map({{"path", one}}));
  EXPECT_EQ(path.error, pdfError(kInvalidArgumentsCode, "\"path\" must be a string"));
  for (const char* method : {"getPagesWidth", "closeDocument"}) {
    EXPECT_EQ(call(method, map({})).error,
              pdfError(kInvalidArgumentsCode, "The arguments must be a document id (a string)"));
  }
}

TEST_F(RefusalTest, AnUnknownMethodIsNotImplemented) {
  EXPECT_TRUE(call("renderEverything", Value()).isNotImplemented());
}

using DiagnosticsTest = PdfPagesTest;

// Everything the process writes to standard error while it lives, line by line.
class StandardErrorCapture {
 public:
  StandardErrorCapture() : file_(std::tmpfile()), saved_(::dup(STDERR_FILENO)) {
    std::fflush(stderr);
    ::dup2(::fileno(file_), STDERR_FILENO);
  }
  ~StandardErrorCapture() { restore(); }
  std::vector<std::string> lines() {
    restore();
    std::vector<std::string> lines;
    std::rewind(file_);
    std::string line;
    for (int c; (c = std::fgetc(file_)) != EOF;) {
      if (c != '\n') {
        line.push_back(static_cast<char>(c));
      } else {
        lines.push_back(std::move(line));
        line.clear();
      }
    }
    return lines;
  }

 private:
  void restore() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
    saved_ = -1;
  }
  std::FILE* file_;
  int saved_;
};

TEST_F(DiagnosticsTest, TheLibrarysErrorsAreCountedAndLoggedAsABoundedSummaryPerDocument) {
  // A page of 100,000 characters that are not PDF syntax: one error each, and more.
  coregraphics::testing::PdfWriter writer;
  std::string garbage;
  for (int i = 0; i < 100000; ++i) garbage += ") ";
  writer.addPage({CGRectMake(0, 0, 612, 792), std::nullopt, 0, garbage});
  std::vector<std::string> lines;
  {
    StandardErrorCapture capture;
    ASSERT_EQ(loadBytes("noisy", writer.write()).value, Value("1"));
    bitmapOf(getPage("noisy", 1, 61, 79));
    bitmapOf(getPage("noisy", 1, 61, 79));
    EXPECT_TRUE(call("closeDocument", Value("noisy")).isSuccess());
    lines = capture.lines();
  }
  EXPECT_LE(lines.size(), 10u);
  // The summary tells how many there were in all.
  uint64_t largest = 0;
  for (const auto& line : lines) {
    uint64_t number = 0;
    for (char c : line) {
      if (std::isdigit(static_cast<unsigned char>(c))) {
        number = number * 10 + static_cast<uint64_t>(c - '0');
      } else if (c != ',') {
        largest = std::max(largest, number);
        number = 0;
      }
    }
    largest = std::max(largest, number);
  }
  EXPECT_GE(largest, 200000u);
}

TEST_F(DiagnosticsTest, TwoDamagedDocumentsDrawnInTurnLogTheirBoundOnceEach) {
  // Each drawing of either reopens it in the worker, which holds one document at a time.
  auto damaged = [](const std::string& garbage) {
    coregraphics::testing::PdfWriter writer;
    writer.addPage({CGRectMake(0, 0, 100, 100), std::nullopt, 0, garbage});
    return writer.write();
  };
  std::vector<std::string> lines;
  {
    StandardErrorCapture capture;
    ASSERT_EQ(loadBytes("one", damaged(std::string(200, '}'))).value, Value("1"));
    ASSERT_EQ(loadBytes("two", damaged(std::string(200, ')'))).value, Value("1"));
    for (int i = 0; i < 50; ++i) {
      bitmapOf(getPage("one", 1, 10, 10));
      bitmapOf(getPage("two", 1, 10, 10));
    }
    EXPECT_TRUE(call("closeDocument", Value("one")).isSuccess());
    EXPECT_TRUE(call("closeDocument", Value("two")).isSuccess());
    lines = capture.lines();
  }
  // Five errors, the line that says the rest are counted, and the summary, for each document.
  EXPECT_LE(lines.size(), 14u);
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& line) {
                            return line.find("errors in all") != std::string::npos;
                          }),
            2);
}

// The drawing worker's children of this process, read from /proc.
std::vector<pid_t> drawingWorkers() {
  std::vector<pid_t> workers;
  for (const auto& task : fs::directory_iterator("/proc/self/task")) {
    std::ifstream children(task.path() / "children");
    for (pid_t pid = 0; children >> pid;) workers.push_back(pid);
  }
  return workers;
}

TEST_F(DiagnosticsTest, ADocumentLogsItsBoundOnceHoweverOftenItsWorkerIsReplaced) {
  coregraphics::testing::PdfWriter writer;
  writer.addPage({CGRectMake(0, 0, 100, 100), std::nullopt, 0, std::string(200, '}')});
  std::vector<std::string> lines;
  {
    StandardErrorCapture capture;
    ASSERT_EQ(loadBytes("damaged", writer.write()).value, Value("1"));
    for (int i = 0; i < 6; ++i) {
      // A drawing sent before the host saw its worker end fails; the next starts a new worker.
      getPage("damaged", 1, 10, 10);
      for (pid_t pid : drawingWorkers()) ::kill(pid, SIGKILL);
    }
    EXPECT_TRUE(call("closeDocument", Value("damaged")).isSuccess());
    lines = capture.lines();
  }
  auto count = [&](const char* text) {
    return std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
      return line.find(text) != std::string::npos;
    });
  };
  EXPECT_EQ(count("PDF document error:"), 5);
  EXPECT_EQ(count("further errors are counted"), 1);
  EXPECT_EQ(count("errors in all"), 1);
}

}  // namespace
}  // namespace pdf_pages::testing
