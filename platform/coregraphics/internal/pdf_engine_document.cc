#include "platform/coregraphics/internal/pdf_engine_document.h"

#include <gio/gio.h>
#include <poppler.h>
#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-page.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

namespace coregraphics::internal {

namespace {

struct GObjectUnref {
  void operator()(gpointer object) const {
    if (object != nullptr) g_object_unref(object);
  }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

struct GErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};
using GErrorPtr = std::unique_ptr<GError, GErrorFree>;

struct GFree {
  void operator()(gchar* text) const { g_free(text); }
};
using GCharPtr = std::unique_ptr<gchar, GFree>;

// The bytes a password may stand for in the file: older revisions of the standard security
// handler store Latin-1, AES-256 (revision 6) stores UTF-8. Latin-1 comes first, as poppler-glib
// tries it first too; a password outside Latin-1 has only its UTF-8 form.
// Each is cut to 127 bytes, the most any revision reads of a password (older ones read 32):
// the library overruns a buffer of its own on a longer one.
std::vector<std::string> passwordCandidates(const char* password) {
  static constexpr size_t kLongestPassword = 127;
  if (password == nullptr) return {std::string()};
  std::vector<std::string> candidates;
  GCharPtr converted(g_convert(password, -1, "ISO-8859-1", "UTF-8", nullptr, nullptr, nullptr));
  if (converted) candidates.emplace_back(converted.get());
  std::string utf8(password);
  if (candidates.empty() || candidates.front() != utf8) candidates.push_back(std::move(utf8));
  for (auto& candidate : candidates) candidate.resize(std::min(candidate.size(), kLongestPassword));
  return candidates;
}

struct GlibOpen {
  GObjectPtr<PopplerDocument> document;
  GErrorPtr error;
};

// poppler-glib takes a UTF-8 password and tries its Latin-1 form, then the bytes as given.
GlibOpen openWithGlib(const CFDataRef& data, const char* password) {
  GError* error = nullptr;
  const std::vector<uint8_t>& bytes = data->bytes();
  GBytes* view = g_bytes_new_static(bytes.data(), bytes.size());
  GObjectPtr<GInputStream> stream(g_memory_input_stream_new_from_bytes(view));
  g_bytes_unref(view);
  PopplerDocument* document = poppler_document_new_from_stream(
      stream.get(), static_cast<goffset>(bytes.size()), password, nullptr, &error);
  return GlibOpen{GObjectPtr<PopplerDocument>(document), GErrorPtr(error)};
}

struct CppOpen {
  std::unique_ptr<poppler::document> document;
  std::string password;  // the candidate that unlocked it
};

// poppler-cpp takes the password's bytes as given, so each candidate is tried in turn; the first
// that unlocks the file wins. Null when the bytes are no PDF; locked when no candidate fits.
CppOpen openWithCpp(const CFDataRef& data, const char* password) {
  const std::vector<uint8_t>& bytes = data->bytes();
  CppOpen opened;
  for (std::string& candidate : passwordCandidates(password)) {
    opened.document.reset(poppler::document::load_from_raw_data(
        reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), candidate,
        candidate));
    opened.password = std::move(candidate);
    if (!opened.document || !opened.document->is_locked()) break;
  }
  return opened;
}

bool fitsPoppler(const ByteSource& source) {
  return source && !source->bytes().empty() && source->bytes().size() <= INT_MAX;
}

CGRect toRect(const poppler::rectf& rect) {
  return CGRectMake(rect.x(), rect.y(), rect.width(), rect.height());
}

int degrees(poppler::page::orientation_enum orientation) {
  switch (orientation) {
    case poppler::page::landscape:
      return 90;
    case poppler::page::upside_down:
      return 180;
    case poppler::page::seascape:
      return 270;
    case poppler::page::portrait:
      break;
  }
  return 0;
}

}  // namespace

struct PdfEngineDocument::Handles {
  GObjectPtr<PopplerDocument> glib;
  std::unique_ptr<poppler::document> cpp;
  // Pages are made once: poppler-glib builds a page's text layer on its first drawing.
  std::vector<GObjectPtr<PopplerPage>> pages;
};

std::variant<std::shared_ptr<PdfEngineDocument>, PdfEngineDocument::OpenFailure>
PdfEngineDocument::open(const ByteSource& source, const char* password) {
  if (!fitsPoppler(source)) return OpenFailure::notPdf;
  auto errors = std::make_unique<PdfErrorLog>();
  PdfErrorLog::Scope reporting(*errors);
  // poppler-cpp decides whether the password fits: poppler-glib falls back to the empty password
  // for one it cannot turn into Latin-1, which would open a file that has only an owner password.
  auto [cpp, unlocking] = openWithCpp(source, password);
  if (!cpp) return OpenFailure::notPdf;
  if (cpp->is_locked()) return OpenFailure::needsPassword;

  // The candidate that unlocked the file: not longer than the library takes.
  GlibOpen opened = openWithGlib(source, password != nullptr ? unlocking.c_str() : nullptr);
  if (!opened.document) {
    bool encrypted = opened.error && opened.error->domain == POPPLER_ERROR &&
                     opened.error->code == POPPLER_ERROR_ENCRYPTED;
    return encrypted ? OpenFailure::needsPassword : OpenFailure::notPdf;
  }
  auto handles = std::make_unique<Handles>();
  handles->glib = std::move(opened.document);
  handles->cpp = std::move(cpp);
  int pages = poppler_document_get_n_pages(handles->glib.get());
  if (handles->cpp->pages() != pages || pages < 0) return OpenFailure::notPdf;
  handles->pages.resize(static_cast<size_t>(pages));
  return std::shared_ptr<PdfEngineDocument>(
      new PdfEngineDocument(source, std::move(errors), std::move(handles)));
}

PdfEngineDocument::PdfEngineDocument(ByteSource source, std::unique_ptr<PdfErrorLog> errors,
                                     std::unique_ptr<Handles> handles)
    : source_(std::move(source)),
      errors_(std::move(errors)),
      handles_(std::move(handles)),
      page_count_(handles_->pages.size()) {}

PdfEngineDocument::~PdfEngineDocument() {
  PdfErrorLog::Scope reporting(*errors_);
  handles_.reset();
}

bool PdfEngineDocument::isEncrypted() const { return handles_->cpp->is_encrypted(); }

std::optional<PdfPageInfo> PdfEngineDocument::pageInfo(size_t index) {
  if (index >= page_count_) return std::nullopt;
  std::lock_guard lock(mutex_);
  PdfErrorLog::Scope reporting(*errors_);
  std::unique_ptr<poppler::page> page(handles_->cpp->create_page(static_cast<int>(index)));
  if (!page) return std::nullopt;
  PdfPageInfo info;
  info.boxes = {
      toRect(page->page_rect(poppler::media_box)), toRect(page->page_rect(poppler::crop_box)),
      toRect(page->page_rect(poppler::bleed_box)), toRect(page->page_rect(poppler::trim_box)),
      toRect(page->page_rect(poppler::art_box))};
  info.rotation = degrees(page->orientation());
  return info;
}

void PdfEngineDocument::renderPage(size_t index, cairo_t* cairo) {
  if (index >= page_count_) return;
  std::lock_guard lock(mutex_);
  PdfErrorLog::Scope reporting(*errors_);
  GObjectPtr<PopplerPage>& page = handles_->pages[index];
  if (!page) page.reset(poppler_document_get_page(handles_->glib.get(), static_cast<int>(index)));
  if (page) poppler_page_render(page.get(), cairo);
}

}  // namespace coregraphics::internal
