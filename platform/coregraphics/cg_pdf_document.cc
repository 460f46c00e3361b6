#include "platform/coregraphics/cg_pdf_document.h"

#include <mutex>
#include <vector>

#include "platform/coregraphics/internal/cg_data_provider.h"
#include "platform/coregraphics/internal/cg_pdf_page.h"
#include "platform/coregraphics/internal/control_state.h"
#include "platform/coregraphics/internal/pdf_engine_document.h"

using coregraphics::internal::ByteSource;
using coregraphics::internal::PdfEngineDocument;

// A document keeps where its bytes come from, so that unlocking can open them again with the
// password; until then a locked document has no engine.
class CGPDFDocument {
 public:
  CGPDFDocument(ByteSource source, bool encrypted, std::shared_ptr<PdfEngineDocument> engine)
      : source_(std::move(source)), encrypted_(encrypted) {
    setEngine(std::move(engine));
    ++coregraphics::internal::liveDocumentCount();
  }
  ~CGPDFDocument() { --coregraphics::internal::liveDocumentCount(); }
  CGPDFDocument(const CGPDFDocument&) = delete;
  CGPDFDocument& operator=(const CGPDFDocument&) = delete;

  bool isEncrypted() const { return encrypted_; }

  bool isUnlocked() const {
    std::lock_guard lock(mutex_);
    return engine_ != nullptr;
  }

  bool unlock(const char* password) {
    if (!encrypted_) return true;
    auto opened = PdfEngineDocument::open(source_, password);
    auto* engine = std::get_if<std::shared_ptr<PdfEngineDocument>>(&opened);
    if (engine == nullptr) return false;
    std::lock_guard lock(mutex_);
    setEngine(std::move(*engine));
    return true;
  }

  size_t pageCount() const {
    std::lock_guard lock(mutex_);
    return engine_ ? engine_->pageCount() : 0;
  }

  CGPDFPageRef page(size_t pageNumber) {
    std::lock_guard lock(mutex_);
    if (!engine_ || pageNumber < 1 || pageNumber > pages_.size()) return nullptr;
    CGPDFPageRef& page = pages_[pageNumber - 1];
    if (!page) {
      auto info = engine_->pageInfo(pageNumber - 1);
      if (info) page = std::make_shared<const CGPDFPage>(engine_, pageNumber, *info);
    }
    return page;
  }

 private:
  // Callers hold mutex_, or are the constructor.
  void setEngine(std::shared_ptr<PdfEngineDocument> engine) {
    engine_ = std::move(engine);
    pages_.assign(engine_ ? engine_->pageCount() : 0, nullptr);
  }

  const ByteSource source_;
  const bool encrypted_;
  mutable std::mutex mutex_;
  std::shared_ptr<PdfEngineDocument> engine_;
  std::vector<CGPDFPageRef> pages_;
};

CGPDFDocumentRef CGPDFDocumentCreateWithProvider(const CGDataProviderRef& provider) {
  if (!provider) return nullptr;
  auto opened = PdfEngineDocument::open(provider->source(), nullptr);
  if (auto* engine = std::get_if<std::shared_ptr<PdfEngineDocument>>(&opened)) {
    bool encrypted = (*engine)->isEncrypted();
    return std::make_shared<CGPDFDocument>(provider->source(), encrypted, std::move(*engine));
  }
  if (std::get<PdfEngineDocument::OpenFailure>(opened) ==
      PdfEngineDocument::OpenFailure::needsPassword) {
    return std::make_shared<CGPDFDocument>(provider->source(), true, nullptr);
  }
  return nullptr;
}

bool CGPDFDocumentIsEncrypted(const CGPDFDocumentRef& document) {
  return document && document->isEncrypted();
}

bool CGPDFDocumentIsUnlocked(const CGPDFDocumentRef& document) {
  return document && document->isUnlocked();
}

bool CGPDFDocumentUnlockWithPassword(const CGPDFDocumentRef& document, const char* password) {
  return document && password != nullptr && document->unlock(password);
}

size_t CGPDFDocumentGetNumberOfPages(const CGPDFDocumentRef& document) {
  return document ? document->pageCount() : 0;
}

CGPDFPageRef CGPDFDocumentGetPage(const CGPDFDocumentRef& document, size_t pageNumber) {
  return document ? document->page(pageNumber) : nullptr;
}
