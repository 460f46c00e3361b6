#include "platform/coregraphics/testing/pdf_writer.h"

#include <cstdio>
#include <fstream>

namespace coregraphics::testing {

namespace {

std::string number(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.4f", value);
  std::string result = text;
  result.erase(result.find_last_not_of('0') + 1);
  if (result.back() == '.') result.pop_back();
  return result == "-0" ? "0" : result;
}

std::string box(const CGRect& rect) {
  std::string text = "[";
  text += number(CGRectGetMinX(rect)) + " " + number(CGRectGetMinY(rect)) + " ";
  text += number(CGRectGetMaxX(rect)) + " " + number(CGRectGetMaxY(rect)) + "]";
  return text;
}

}  // namespace

std::string PdfWriter::filledRect(const CGRect& rect, double red, double green, double blue,
                                  bool half) {
  std::string content = "q ";
  if (half) content += "/Half gs ";
  content += number(red) + " " + number(green) + " " + number(blue) + " rg ";
  content += number(rect.origin.x) + " " + number(rect.origin.y) + " " + number(rect.size.width) +
             " " + number(rect.size.height) + " re f Q\n";
  return content;
}

PdfWriter& PdfWriter::addPage(Page page) {
  pages_.push_back(std::move(page));
  return *this;
}

std::string PdfWriter::write() const {
  std::string pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
  std::vector<size_t> offsets;
  auto object = [&](const std::string& body) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(offsets.size()) + " 0 obj\n" + body + "\nendobj\n";
  };

  object("<< /Type /Catalog /Pages 2 0 R >>");
  std::string kids;
  for (size_t i = 0; i < pages_.size(); ++i) kids += std::to_string(3 + 2 * i) + " 0 R ";
  object("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages_.size()) + " >>");
  for (size_t i = 0; i < pages_.size(); ++i) {
    const Page& page = pages_[i];
    std::string dictionary = "<< /Type /Page /Parent 2 0 R /MediaBox " + box(page.mediaBox);
    if (page.cropBox) dictionary += " /CropBox " + box(*page.cropBox);
    if (page.rotate != 0) dictionary += " /Rotate " + std::to_string(page.rotate);
    dictionary += " /Resources << /ExtGState << /Half << /Type /ExtGState /ca 0.5 >> >> >>";
    dictionary += " /Contents " + std::to_string(4 + 2 * i) + " 0 R >>";
    object(dictionary);
    object("<< /Length " + std::to_string(page.content.size()) + " >>\nstream\n" + page.content +
           "\nendstream");
  }

  size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(offsets.size() + 1) + "\n0000000000 65535 f \n";
  for (size_t offset : offsets) {
    char entry[32];
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
    pdf += entry;
  }
  pdf += "trailer\n<< /Size " + std::to_string(offsets.size() + 1) + " /Root 1 0 R >>\n";
  pdf += "startxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

bool PdfWriter::writeTo(const std::string& path) const {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  std::string bytes = write();
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file);
}

}  // namespace coregraphics::testing
