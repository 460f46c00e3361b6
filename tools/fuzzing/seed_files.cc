#include "tools/fuzzing/seed_files.h"

#include <zlib.h>

#include <fstream>
#include <iterator>

#include "platform/coregraphics/testing/pdf_writer.h"
#include "platform/foundation/property_list.h"

namespace fuzzing {
namespace {

using coregraphics::testing::PdfWriter;

std::string readSourceFile(const std::string& relative) {
  std::ifstream file(std::string(FUZZING_SOURCE_DIR) + "/" + relative, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string deflated(const std::string& text) {
  uLongf size = compressBound(static_cast<uLong>(text.size()));
  std::string out(size, '\0');
  if (compress(reinterpret_cast<Bytef*>(out.data()), &size,
               reinterpret_cast<const Bytef*>(text.data()),
               static_cast<uLong>(text.size())) != Z_OK) {
    return {};
  }
  out.resize(size);
  return out;
}

// A page whose content stream is compressed, written by hand: PdfWriter writes plain streams.
std::string compressedDocument() {
  std::string content =
      deflated("q 1 0 0 rg 10 10 100 50 re f Q q 0 0 1 RG 4 w 0 0 m 200 150 l S Q");
  std::string objects[] = {
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 150] /Contents 4 0 R >>",
      "<< /Length " + std::to_string(content.size()) + " /Filter /FlateDecode >>\nstream\n" +
          content + "\nendstream",
  };
  std::string pdf = "%PDF-1.5\n";
  std::vector<size_t> offsets;
  for (size_t i = 0; i < std::size(objects); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  size_t xref = pdf.size();
  pdf += "xref\n0 5\n0000000000 65535 f \n";
  for (size_t offset : offsets) {
    char line[32];
    std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
    pdf += line;
  }
  pdf += "trailer\n<< /Size 5 /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

}  // namespace

std::vector<SeedFile> pdfSeeds() {
  PdfWriter shapes;
  shapes.addPage({CGRectMake(0, 0, 612, 792), std::nullopt, 0,
                  PdfWriter::filledRect(CGRectMake(0, 0, 306, 396), 1, 0, 0) +
                      PdfWriter::filledRect(CGRectMake(400, 100, 100, 100), 1, 0, 0, true) +
                      "q 0 0 1 RG 3 w 1 J 1 j [6 3] 0 d 50 700 m 300 750 400 600 550 700 c S Q\n"
                      "q 100 100 200 200 re W n 0.5 g 0 0 612 792 re f Q\n"
                      "q 0.7 0.7 -0.7 0.7 300 300 cm 0 1 0 rg 0 0 80 40 re f* Q\n"
                      "BT /F1 24 Tf 72 72 Td (text without a font) Tj ET\n"});
  shapes.addPage({CGRectMake(0, 0, 400, 300), CGRectMake(50, 50, 300, 200), 90,
                  PdfWriter::filledRect(CGRectMake(50, 50, 100, 50), 0, 1, 0)});
  PdfWriter rotated;
  rotated.addPage({CGRectMake(0, 0, 200, 100), std::nullopt, 180,
                   PdfWriter::filledRect(CGRectMake(0, 0, 50, 50), 1, 0, 0)});
  std::vector<SeedFile> seeds = {
      {"shapes.pdf", shapes.write()},
      {"rotated.pdf", rotated.write()},
      {"compressed.pdf", compressedDocument()},
  };
  for (const char* name : {"user_password.pdf", "owner_password.pdf", "rc4_umlaut_password.pdf"}) {
    std::string bytes = readSourceFile(std::string("plugins/pdf_pages/tests/data/") + name);
    if (!bytes.empty()) seeds.push_back({name, std::move(bytes)});
  }
  return seeds;
}

std::vector<SeedFile> mediaSeeds() {
  std::vector<SeedFile> seeds;
  std::string clip = readSourceFile("plugins/movie_player_avfoundation/tests/media/clip.mp4");
  if (!clip.empty()) seeds.push_back({"clip.mp4", std::move(clip)});
  return seeds;
}

std::vector<SeedFile> propertyListSeeds() {
  PropertyList::Dictionary nested{
      {"flag", PropertyList(true)},
      {"count", PropertyList(int64_t{-42})},
      {"big", PropertyList(int64_t{1} << 40)},
      {"ratio", PropertyList(0.25)},
      {"name", PropertyList("caf\xc3\xa9 \xf0\x9f\x98\x80")},
      {"data", PropertyList(PropertyListData{0, 1, 2, 255})},
      {"when", PropertyList(PropertyListDate{700000000.5})},
      {"list", PropertyList(PropertyList::Array{PropertyList("a"), PropertyList(int64_t{1}),
                                                PropertyList(PropertyList::Dictionary{})})},
  };
  PropertyList document(PropertyList::Dictionary{
      {"CFBundleIdentifier", PropertyList("com.velmora.host")},
      {"nested", PropertyList(nested)},
  });
  std::vector<SeedFile> seeds;
  for (auto [name, format] : {std::pair{"seed.xml.plist", PropertyList::Format::xml},
                              std::pair{"seed.binary.plist", PropertyList::Format::binary}}) {
    auto bytes = document.serialize(format);
    seeds.push_back({name, std::string(bytes.begin(), bytes.end())});
  }
  return seeds;
}

}  // namespace fuzzing
