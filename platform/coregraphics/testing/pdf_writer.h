// Writes small PDF documents for tests: uncompressed, without fonts or images. Content streams
// hold plain drawing operators in page space; the graphics state /Half sets a 50% fill opacity.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/coregraphics/cg_geometry.h"

namespace coregraphics::testing {

class PdfWriter {
 public:
  struct Page {
    CGRect mediaBox;
    std::optional<CGRect> cropBox;
    int rotate = 0;
    std::string content;
  };

  // Operators that fill `rect` with a colour (components in [0, 1]), at 50% opacity if `half`.
  static std::string filledRect(const CGRect& rect, double red, double green, double blue,
                                bool half = false);

  PdfWriter& addPage(Page page);
  // The document's bytes.
  std::string write() const;
  // Writes the document to `path`; false when the file cannot be written.
  bool writeTo(const std::string& path) const;

 private:
  std::vector<Page> pages_;
};

}  // namespace coregraphics::testing
