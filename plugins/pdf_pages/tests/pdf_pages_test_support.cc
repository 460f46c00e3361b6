#include "plugins/pdf_pages/tests/pdf_pages_test_support.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
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

namespace {

std::string deflated(const std::string& bytes) {
  uLongf size = compressBound(bytes.size());
  std::string out(size, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &size,
            reinterpret_cast<const Bytef*>(bytes.data()), bytes.size(), Z_BEST_COMPRESSION);
  out.resize(size);
  return out;
}

std::string streamObject(const std::string& dictionary, const std::string& data) {
  return "<< " + dictionary + " /Length " + std::to_string(data.size()) +
         " /Filter /FlateDecode >>\nstream\n" + data + "\nendstream";
}

void appendBigEndian(std::string& out, uint64_t value, int bytes) {
  for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) {
    out.push_back(static_cast<char>((value >> shift) & 0xFF));
  }
}

}  // namespace

std::string handMadeDocument(const std::map<int, std::string>& objects,
                             const std::map<int, std::string>& packed) {
  std::string out = "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n";
  std::map<int, size_t> offsets;
  auto put = [&](int number, const std::string& body) {
    offsets[number] = out.size();
    out += std::to_string(number) + " 0 obj\n" + body + "\nendobj\n";
  };
  for (const auto& [number, body] : objects) put(number, body);
  int last = std::max(objects.empty() ? 0 : objects.rbegin()->first,
                      packed.empty() ? 0 : packed.rbegin()->first);

  if (packed.empty()) {
    const size_t table = out.size();
    out += "xref\n0 " + std::to_string(last + 1) + "\n0000000000 65535 f \n";
    for (int number = 1; number <= last; ++number) {
      char entry[32];
      auto found = offsets.find(number);
      std::snprintf(entry, sizeof entry, "%010zu %05d %c \n",
                    found == offsets.end() ? size_t{0} : found->second,
                    found == offsets.end() ? 65535 : 0, found == offsets.end() ? 'f' : 'n');
      out += entry;
    }
    out += "trailer\n<< /Size " + std::to_string(last + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(table) + "\n%%EOF\n";
    return out;
  }

  const int stream_number = last + 1, table_number = last + 2;
  std::string header, body;
  for (const auto& [number, object] : packed) {
    header += std::to_string(number) + " " + std::to_string(body.size()) + " ";
    body += object + "\n";
  }
  put(stream_number, streamObject("/Type /ObjStm /N " + std::to_string(packed.size()) + " /First " +
                                      std::to_string(header.size()),
                                  deflated(header + body)));
  offsets[table_number] = out.size();
  std::map<int, uint64_t> places;  // a packed object's place in its stream
  for (const auto& [number, object] : packed) places.emplace(number, places.size());
  std::string rows;
  for (int number = 0; number <= table_number; ++number) {
    auto found = offsets.find(number);
    auto place = places.find(number);
    if (found != offsets.end()) {
      rows.push_back(1);
      appendBigEndian(rows, found->second, 4);
      appendBigEndian(rows, 0, 4);
    } else if (place != places.end()) {
      rows.push_back(2);
      appendBigEndian(rows, static_cast<uint64_t>(stream_number), 4);
      appendBigEndian(rows, place->second, 4);
    } else {
      rows.push_back(0);
      appendBigEndian(rows, 0, 4);
      appendBigEndian(rows, 65535, 4);
    }
  }
  const size_t table = out.size();
  put(table_number, streamObject("/Type /XRef /Size " + std::to_string(table_number + 1) +
                                     " /W [1 4 4] /Root 1 0 R",
                                 deflated(rows)));
  out += "startxref\n" + std::to_string(table) + "\n%%EOF\n";
  return out;
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
  // The worker's own CPU budgets and wall-clock backstop bound every answer; this wait only has
  // to outlast them on a busy machine.
  constexpr std::chrono::seconds kAnswerWait{60};
  return dart.invokeMethod("pdf_pages", method, std::move(arguments), nullptr, kAnswerWait);
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
