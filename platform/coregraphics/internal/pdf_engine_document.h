// One PDF opened with poppler. poppler-glib draws it with cairo; poppler-cpp reads what
// poppler-glib does not tell: the page boxes besides the crop box, the page rotation and whether
// the file is encrypted. Both read the same bytes with the same password.
//
// Documents are loaded from bytes in memory (poppler-glib through a stream, never through its
// in-memory loaders, which crash on a wrong password).
#pragma once

#include <cairo.h>

#include <array>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <variant>

#include "platform/coregraphics/cg_geometry.h"
#include "platform/coregraphics/internal/cg_data_provider.h"
#include "platform/coregraphics/internal/pdf_error_log.h"

namespace coregraphics::internal {

// A page's boxes in page space, in the order media, crop, bleed, trim, art; and its rotation
// (0, 90, 180 or 270 degrees, clockwise as shown).
struct PdfPageInfo {
  std::array<CGRect, 5> boxes;
  int rotation = 0;
};

class PdfEngineDocument {
 public:
  enum class OpenFailure {
    notPdf,         // unreadable, or not a PDF
    needsPassword,  // encrypted, and the password (or its absence) does not open it
  };

  // Opens `source` with a UTF-8 `password` (null: none), given to the file as its revision of
  // encryption stores passwords: Latin-1 up to revision 4, UTF-8 for AES-256.
  static std::variant<std::shared_ptr<PdfEngineDocument>, OpenFailure> open(
      const ByteSource& source, const char* password);

  ~PdfEngineDocument();
  PdfEngineDocument(const PdfEngineDocument&) = delete;
  PdfEngineDocument& operator=(const PdfEngineDocument&) = delete;

  bool isEncrypted() const;
  size_t pageCount() const { return page_count_; }
  // Page `index` (0-based); nullopt outside the document.
  std::optional<PdfPageInfo> pageInfo(size_t index);
  // Draws page `index` through `cairo`'s transform, in poppler's device space: the crop box,
  // turned by the page's rotation, from the top-left corner with y growing downwards.
  void renderPage(size_t index, cairo_t* cairo);

 private:
  struct Handles;
  PdfEngineDocument(ByteSource source, std::unique_ptr<PdfErrorLog> errors,
                    std::unique_ptr<Handles> handles);

  ByteSource source_;  // outlives the poppler objects reading it
  std::unique_ptr<PdfErrorLog> errors_;  // outlives them too: they may report while they go
  std::unique_ptr<Handles> handles_;
  size_t page_count_ = 0;
  // poppler-glib draws every page of a document through one shared output device.
  std::mutex mutex_;
};

}  // namespace coregraphics::internal
