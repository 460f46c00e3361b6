// A page as the framework keeps it: its document's engine, its number and what it measures.
#pragma once

#include <cairo.h>

#include <cstddef>
#include <memory>

#include "platform/coregraphics/cg_pdf_page.h"
#include "platform/coregraphics/internal/pdf_engine_document.h"

class CGPDFPage {
 public:
  CGPDFPage(std::shared_ptr<coregraphics::internal::PdfEngineDocument> engine, size_t pageNumber,
            coregraphics::internal::PdfPageInfo info)
      : engine_(std::move(engine)), page_number_(pageNumber), info_(info) {}

  const coregraphics::internal::PdfPageInfo& info() const { return info_; }
  // Where poppler puts page space when it draws: the crop box turned by the rotation, from the
  // top-left corner, y growing downwards.
  CGAffineTransform engineTransform() const;
  // Draws the page through `cairo`'s transform composed with engineTransform().
  void render(cairo_t* cairo) const { engine_->renderPage(page_number_ - 1, cairo); }

 private:
  std::shared_ptr<coregraphics::internal::PdfEngineDocument> engine_;
  size_t page_number_;
  coregraphics::internal::PdfPageInfo info_;
};
