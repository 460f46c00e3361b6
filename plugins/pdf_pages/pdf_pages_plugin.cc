#include "plugins/pdf_pages/pdf_pages_plugin.h"

#include <cmath>

#include "platform/coregraphics/cf_data.h"
#include "platform/coregraphics/cg_data_provider.h"
#include "plugins/pdf_pages/page_rendering.h"
#include "plugins/pdf_pages/pdf_arguments.h"
#include "plugins/pdf_pages/pdf_errors.h"

namespace pdf_pages {

namespace {

using flutter::Value;
using flutter::ValueList;

constexpr double kPi = 3.141592653589793;

FlutterError unlockFailed() {
  return pdfError(kUnlockFailedCode, "Failed to unlock the PDF with the provided password");
}

// A path beginning "file://" is a URL when it parses as one; anything else is a file-system path.
NSURL fileURL(const std::string& path) {
  std::optional<NSURL> url;
  if (path.starts_with("file://")) url = NSURL::URLWithString(path);
  return url ? *url : NSURL::fileURLWithPath(path);
}

// The tile's bitmap side: the requested size truncated toward zero.
std::optional<int64_t> truncatedSide(double side) {
  if (!std::isfinite(side)) return std::nullopt;
  double truncated = std::trunc(side);
  if (truncated < 1 || truncated > static_cast<double>(kMaxBitmapSide)) return std::nullopt;
  return static_cast<int64_t>(truncated);
}

FlutterError invalidSize() {
  return pdfError(kInvalidSizeCode, "The bitmap size must be positive, finite and at most " +
                                        std::to_string(kMaxBitmapSide) + " pixels a side and " +
                                        std::to_string(kMaxBitmapBytes) + " bytes");
}

FlutterError fileUnreadable(const std::string& path) {
  return pdfError(kLoadFailedCode, "The file cannot be read: " + path +
                                       " (it must be a regular file of at most " +
                                       std::to_string(kCGDataProviderMaxFileBytes) + " bytes)");
}

FlutterError bitmapFailed() { return pdfError(kBitmapFailedCode, "The bitmap could not be made"); }

}  // namespace

void PdfPagesPlugin::registerWithRegistrar(FlutterPluginRegistrar& registrar) {
  auto channel = FlutterMethodChannel::methodChannelWithName("pdf_pages", registrar.messenger());
  registrar.addMethodCallDelegate(std::make_shared<PdfPagesPlugin>(), channel);
}

const std::map<std::string, PdfPagesPlugin::Handler, std::less<>>& PdfPagesPlugin::methodTable() {
  static const std::map<std::string, Handler, std::less<>> table = {
      {"initializePdfRenderer", &PdfPagesPlugin::initializePdfRenderer},
      {"loadPdfFromFile", &PdfPagesPlugin::loadPdfFromFile},
      {"getPage", &PdfPagesPlugin::getPage},
      {"getTileImage", &PdfPagesPlugin::getTileImage},
      {"getPagesWidth", &PdfPagesPlugin::getPagesWidth},
      {"getPagesHeight", &PdfPagesPlugin::getPagesHeight},
      {"closeDocument", &PdfPagesPlugin::closeDocument},
  };
  return table;
}

void PdfPagesPlugin::handleMethodCall(const FlutterMethodCall& call, FlutterResult result) {
  auto handler = methodTable().find(call.method);
  if (handler == methodTable().end()) return result(FlutterMethodNotImplemented);
  (this->*handler->second)(call.arguments, result);
}

void PdfPagesPlugin::initializePdfRenderer(const Value& arguments, const FlutterResult& result) {
  PdfArguments args(arguments);
  auto bytes = args.bytes("documentBytes");
  auto document_id = args.string("documentID");
  if (!args.ok()) return result(args.error());

  // The document reads a private copy, never the message's buffer.
  CFDataRef data = CFDataCreate(bytes->data(), static_cast<CFIndex>(bytes->size()));
  if (!data) return result(pdfError(kLoadFailedCode, "The document bytes could not be copied"));
  loadInOrder(
      std::move(*document_id),
      [data = std::move(data), password = args.optionalString("password")] {
        CGPDFDocumentRef document =
            CGPDFDocumentCreateWithProvider(CGDataProviderCreateWithCFData(data));
        if (!document) {
          return Loaded{nullptr, 0, pdfError(kLoadFailedCode, "The bytes are not a PDF document")};
        }
        return unlock(std::move(document), password);
      },
      result);
}

void PdfPagesPlugin::loadPdfFromFile(const Value& arguments, const FlutterResult& result) {
  PdfArguments args(arguments);
  auto path = args.string("path");
  auto document_id = args.string("documentID");
  if (!args.ok()) return result(args.error());

  loadInOrder(
      std::move(*document_id),
      [path = std::move(*path), password = args.optionalString("password")] {
        CGDataProviderRef provider = CGDataProviderCreateWithURL(fileURL(path));
        if (!provider) return Loaded{nullptr, 0, fileUnreadable(path)};
        CGPDFDocumentRef document = CGPDFDocumentCreateWithProvider(provider);
        if (!document) {
          return Loaded{nullptr, 0, pdfError(kLoadFailedCode, "The file is not a PDF document")};
        }
        return unlock(std::move(document), password);
      },
      result);
}

void PdfPagesPlugin::loadInOrder(std::string documentId, std::function<Loaded()> open,
                                 FlutterResult result) {
  dispatch_async(load_queue_, [self = shared_from_this(), documentId = std::move(documentId),
                               open = std::move(open), result = std::move(result)]() mutable {
    Loaded loaded = open();
    dispatch_async(dispatch_get_main_queue(),
                   [self = std::move(self), documentId = std::move(documentId),
                    loaded = std::move(loaded), result = std::move(result)] {
                     if (loaded.error) return result(*loaded.error);
                     self->document_repo_[documentId] = loaded.document;
                     result(Value(std::to_string(loaded.pageCount)));
                   });
  });
}

PdfPagesPlugin::Loaded PdfPagesPlugin::unlock(CGPDFDocumentRef document,
                                              const std::optional<std::string>& password) {
  // Without a password an encrypted document is kept as it is (locked, with no pages, when it
  // needs one); a password for a document that is not encrypted is ignored. The password goes on
  // as C text, so one holding a NUL would be cut short there: it is no password of the file.
  if (password && CGPDFDocumentIsEncrypted(document) &&
      (password->find('\0') != std::string::npos ||
       !CGPDFDocumentUnlockWithPassword(document, password->c_str()))) {
    return Loaded{nullptr, 0, unlockFailed()};
  }
  size_t page_count = CGPDFDocumentGetNumberOfPages(document);
  return Loaded{std::move(document), page_count, std::nullopt};
}

void PdfPagesPlugin::getPage(const Value& arguments, const FlutterResult& result) {
  PdfArguments args(arguments);
  auto index = args.integer("index");
  auto width = args.integer("width");
  auto height = args.integer("height");
  auto document_id = args.string("documentID");
  if (!args.ok()) return result(args.error());

  auto size = checkedBitmapSize(*width, *height);
  if (!size) return result(invalidSize());
  CGPDFPageRef page = pageOrAnswer(*document_id, *index, result);
  if (!page) return;
  auto bitmap = renderPage(page, *size);
  if (!bitmap) return result(bitmapFailed());
  result(Value(std::move(*bitmap)));
}

void PdfPagesPlugin::getTileImage(const Value& arguments, const FlutterResult& result) {
  PdfArguments args(arguments);
  auto page_number = args.integer("pageNumber");
  auto scale = args.floatingPoint("scale");
  auto width = args.floatingPoint("width");
  auto height = args.floatingPoint("height");
  auto x = args.floatingPoint("x");
  auto y = args.floatingPoint("y");
  auto document_id = args.string("documentID");
  if (!args.ok()) return result(args.error());

  if (!std::isfinite(*scale) || *scale <= 0 || !std::isfinite(*x) || !std::isfinite(*y)) {
    return result(pdfError(kInvalidArgumentsCode,
                           "\"scale\" must be positive and finite, \"x\" and \"y\" finite"));
  }
  auto bitmap_width = truncatedSide(*width);
  auto bitmap_height = truncatedSide(*height);
  auto size = bitmap_width && bitmap_height ? checkedBitmapSize(*bitmap_width, *bitmap_height)
                                            : std::nullopt;
  if (!size) return result(invalidSize());
  CGPDFPageRef page = pageOrAnswer(*document_id, *page_number, result);
  if (!page) return;
  auto bitmap = renderTile(page, *size, Tile{*scale, *x, *y, *height});
  if (!bitmap) return result(bitmapFailed());
  result(Value(std::move(*bitmap)));
}

void PdfPagesPlugin::getPagesWidth(const Value& arguments, const FlutterResult& result) {
  answerPageSizes(arguments, result, CGRectGetWidth);
}

void PdfPagesPlugin::getPagesHeight(const Value& arguments, const FlutterResult& result) {
  answerPageSizes(arguments, result, CGRectGetHeight);
}

void PdfPagesPlugin::answerPageSizes(const Value& arguments, const FlutterResult& result,
                                     CGFloat (*measure)(const CGRect&)) {
  PdfArguments args(arguments);
  auto document_id = args.asString();
  if (!args.ok()) return result(args.error());
  CGPDFDocumentRef document = documentOrAnswer(*document_id, result);
  if (!document) return;

  size_t page_count = CGPDFDocumentGetNumberOfPages(document);
  ValueList sizes;
  sizes.reserve(page_count);
  for (size_t number = 1; number <= page_count; ++number) {
    CGPDFPageRef page = CGPDFDocumentGetPage(document, number);
    if (!page) continue;
    CGRect box = CGPDFPageGetBoxRect(page, kCGPDFCropBox);
    int angle = CGPDFPageGetRotationAngle(page);
    if (angle > 0) {
      box = CGRectApplyAffineTransform(box, CGAffineTransformMakeRotation(angle * kPi / 180));
    }
    sizes.emplace_back(measure(box));
  }
  result(Value(std::move(sizes)));
}

void PdfPagesPlugin::closeDocument(const Value& arguments, const FlutterResult& result) {
  PdfArguments args(arguments);
  auto document_id = args.asString();
  if (!args.ok()) return result(args.error());
  // Behind the loads sent before it, so that it closes what they stored.
  dispatch_async(load_queue_, [self = shared_from_this(), documentId = std::move(*document_id),
                               result]() mutable {
    dispatch_async(dispatch_get_main_queue(),
                   [self = std::move(self), documentId = std::move(documentId), result] {
                     self->document_repo_.erase(documentId);
                     result(Value());
                   });
  });
}

CGPDFDocumentRef PdfPagesPlugin::documentOrAnswer(const std::string& documentId,
                                                  const FlutterResult& result) const {
  auto found = document_repo_.find(documentId);
  if (found != document_repo_.end()) return found->second;
  result(pdfError(kUnknownDocumentCode, "No document is open under the id \"" + documentId + "\""));
  return nullptr;
}

CGPDFPageRef PdfPagesPlugin::pageOrAnswer(const std::string& documentId, int64_t pageNumber,
                                          const FlutterResult& result) const {
  CGPDFDocumentRef document = documentOrAnswer(documentId, result);
  if (!document) return nullptr;
  CGPDFPageRef page =
      pageNumber >= 1 ? CGPDFDocumentGetPage(document, static_cast<size_t>(pageNumber)) : nullptr;
  if (!page) {
    result(pdfError(kInvalidPageCode,
                    "The document has no page " + std::to_string(pageNumber) + " (it has " +
                        std::to_string(CGPDFDocumentGetNumberOfPages(document)) + ")"));
  }
  return page;
}

}  // namespace pdf_pages
