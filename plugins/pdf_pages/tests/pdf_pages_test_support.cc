#include "plugins/pdf_pages/tests/pdf_pages_test_support.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/coregraphics/testing/pdf_writer.h"
#include "plugins/pdf_pages/pdf_pages_plugin.h"

namespace pdf_pages::testing {

namespace fs = std::filesystem;
using coregraphics::testing::PdfWriter;
using flutter::Value;
using flutter::ValueMap;
using flutter::testing::MethodReply;

TemporaryDirectory::TemporaryDirectory() {
  std::string pattern = (fs::temp_directory_path() / "pdf-pages-test-XXXXXX").string();
  path_ = mkdtemp(pattern.data());
}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string fourPageDocument() {
  PdfWriter writer;
  writer.addPage({CGRectMake(0, 0, 612, 792), std::nullopt, 0,
                  PdfWriter::filledRect(CGRectMake(0, 0, 306, 396), 1, 0, 0) +
                      PdfWriter::filledRect(CGRectMake(306, 396, 306, 396), 0, 0, 1) +
                      PdfWriter::filledRect(CGRectMake(100, 732, 20, 10), 1, 1, 0) +
                      PdfWriter::filledRect(CGRectMake(400, 100, 100, 100), 1, 0, 0, true)});
  writer.addPage({CGRectMake(0, 0, 400, 300), CGRectMake(50, 50, 300, 200), 90,
                  PdfWriter::filledRect(CGRectMake(50, 50, 100, 50), 1, 0, 0) +
                      PdfWriter::filledRect(CGRectMake(250, 200, 100, 50), 0, 0, 1)});
  writer.addPage({CGRectMake(0, 0, 200, 100), std::nullopt, 180,
                  PdfWriter::filledRect(CGRectMake(0, 0, 50, 50), 1, 0, 0)});
  writer.addPage({CGRectMake(0, 0, 300, 200), CGRectMake(100, 50, 150, 100), 0,
                  PdfWriter::filledRect(CGRectMake(0, 0, 300, 200), 1, 0, 0) +
                      PdfWriter::filledRect(CGRectMake(100, 50, 150, 100), 1, 1, 1) +
                      PdfWriter::filledRect(CGRectMake(100, 50, 50, 50), 0, 1, 0)});
  return writer.write();
}

std::string twoPageDocument() {
  PdfWriter writer;
  writer.addPage({CGRectMake(0, 0, 200, 100), std::nullopt, 0,
                  PdfWriter::filledRect(CGRectMake(0, 0, 100, 100), 1, 0, 0)});
  writer.addPage({CGRectMake(0, 0, 100, 300), std::nullopt, 0,
                  PdfWriter::filledRect(CGRectMake(0, 0, 100, 150), 0, 0, 1)});
  return writer.write();
}

fs::path userPasswordFixture() { return fs::path(PDF_PAGES_TEST_DATA) / "user_password.pdf"; }
fs::path ownerPasswordFixture() { return fs::path(PDF_PAGES_TEST_DATA) / "owner_password.pdf"; }
fs::path fixture(const std::string& name) { return fs::path(PDF_PAGES_TEST_DATA) / name; }

std::string readFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream contents;
  contents << file.rdbuf();
  return contents.str();
}

Rgba pixelAt(const std::vector<uint8_t>& bitmap, size_t width, size_t x, size_t y) {
  size_t offset = (y * width + x) * 4;
  if (offset + 4 > bitmap.size()) return Rgba{-1, -1, -1, -1};
  return Rgba{bitmap[offset], bitmap[offset + 1], bitmap[offset + 2], bitmap[offset + 3]};
}

::testing::AssertionResult near(const Rgba& actual, const Rgba& expected, int tolerance) {
  for (size_t i = 0; i < 4; ++i) {
    if (std::abs(actual[i] - expected[i]) > tolerance) {
      return ::testing::AssertionFailure()
             << "pixel (" << actual[0] << ", " << actual[1] << ", " << actual[2] << ", "
             << actual[3] << "), expected (" << expected[0] << ", " << expected[1] << ", "
             << expected[2] << ", " << expected[3] << ")";
    }
  }
  return ::testing::AssertionSuccess();
}

PdfPagesTest::PdfPagesTest() {
  PdfPagesPlugin::registerWithRegistrar(dart.registrar("PdfPagesPlugin"));
}

MethodReply PdfPagesTest::call(const std::string& method, Value arguments) {
  return dart.invokeMethod("pdf_pages", method, std::move(arguments));
}

MethodReply PdfPagesTest::loadBytes(const std::string& id, const std::string& pdf,
                                    std::optional<std::string> password) {
  ValueMap arguments{{Value("documentBytes"), Value(std::vector<uint8_t>(pdf.begin(), pdf.end()))},
                     {Value("documentID"), Value(id)}};
  if (password) arguments.set(Value("password"), Value(*password));
  return call("initializePdfRenderer", Value(std::move(arguments)));
}

MethodReply PdfPagesTest::loadFile(const std::string& id, const std::string& path,
                                   std::optional<std::string> password) {
  ValueMap arguments{{Value("path"), Value(path)}, {Value("documentID"), Value(id)}};
  if (password) arguments.set(Value("password"), Value(*password));
  return call("loadPdfFromFile", Value(std::move(arguments)));
}

MethodReply PdfPagesTest::getPage(const std::string& id, int64_t index, int64_t width,
                                  int64_t height) {
  return call("getPage", Value(ValueMap{{Value("index"), Value(index)},
                                        {Value("width"), Value(width)},
                                        {Value("height"), Value(height)},
                                        {Value("documentID"), Value(id)}}));
}

MethodReply PdfPagesTest::getTile(const std::string& id, int64_t page, double scale, double width,
                                  double height, double x, double y) {
  return call("getTileImage", Value(ValueMap{{Value("pageNumber"), Value(page)},
                                             {Value("scale"), Value(scale)},
                                             {Value("width"), Value(width)},
                                             {Value("height"), Value(height)},
                                             {Value("x"), Value(x)},
                                             {Value("y"), Value(y)},
                                             {Value("documentID"), Value(id)}}));
}

std::vector<uint8_t> PdfPagesTest::bitmapOf(const MethodReply& reply) {
  EXPECT_TRUE(reply.isSuccess()) << reply.describe();
  if (const auto* bytes = reply.value.getIf<std::vector<uint8_t>>()) return *bytes;
  ADD_FAILURE() << "not a bitmap: " << reply.describe();
  return {};
}

}  // namespace pdf_pages::testing
