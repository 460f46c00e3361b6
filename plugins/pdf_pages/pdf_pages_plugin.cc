#include "plugins/pdf_pages/pdf_pages_plugin.h"

#include <cmath>

#include "platform/coregraphics/cf_data.h"
#include "platform/coregraphics/cg_data_provider.h"
#include "plugins/pdf_pages/pdf_arguments.h"
#include "plugins/pdf_pages/pdf_errors.h"

namespace pdf_pages {

namespace {

using flutter::Value;
using flutter::ValueList;

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

FlutterError unknownDocument(const std::string& documentId) {
  return pdfError(kUnknownDocumentCode, "No document is open under the id \"" + documentId + "\"");
}

}  // namespace

void PdfPagesPlugin::registerWithRegistrar(FlutterPluginRegistrar& registrar) {
  registerWithLimits(registrar, DrawingLimits{});
}

void PdfPagesPlugin::registerWithLimits(FlutterPluginRegistrar& registrar, DrawingLimits limits) {
  auto channel = FlutterMethodChannel::methodChannelWithName("pdf_pages", registrar.messenger());
  registrar.addMethodCallDelegate(std::make_shared<PdfPagesPlugin>(limits), channel);
}

PdfPagesPlugin::PdfPagesPlugin(DrawingLimits limits) : drawing_(limits) {}

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
  const auto args = pdfArgumentReader(arguments);
  auto errors = pdfArgumentErrors();
  auto bytes = args.bytes("documentBytes", errors);
  auto document_id = args.string("documentID", errors);
  if (!errors.ok()) return refuseInTurn(result, errors.error());

  // The document reads a private copy, never the message's buffer.
  CFDataRef data = CFDataCreate(bytes->data(), static_cast<CFIndex>(bytes->size()));
  if (!data) {
    return refuseInTurn(result,
                        pdfError(kLoadFailedCode, "The document bytes could not be copied"));
  }
  loadInTurn(
      result, std::move(*document_id),
      [data = std::move(data)]() -> std::variant<CFDataRef, FlutterError> { return data; },
      args.string("password"), "The bytes are not a PDF document");
}

void PdfPagesPlugin::loadPdfFromFile(const Value& arguments, const FlutterResult& result) {
  const auto args = pdfArgumentReader(arguments);
  auto errors = pdfArgumentErrors();
  auto path = args.string("path", errors);
  auto document_id = args.string("documentID", errors);
  if (!errors.ok()) return refuseInTurn(result, errors.error());

  loadInTurn(
      result, std::move(*document_id),
      [path = std::move(*path)]() -> std::variant<CFDataRef, FlutterError> {
        CGDataProviderRef provider = CGDataProviderCreateWithURL(fileURL(path));
        if (!provider) return fileUnreadable(path);
        return CGDataProviderCopyData(provider);
      },
      args.string("password"), "The file is not a PDF document");
}

void PdfPagesPlugin::loadInTurn(FlutterResult result, std::string documentId, LoadSource source,
                                std::optional<std::string> password, const char* notAPdf) {
  calls_->enqueue(
      std::move(result),
      [self = shared_from_this(), document_id = std::move(documentId), source = std::move(source),
       password = std::move(password), notAPdf](CallSequence::Finish finish) mutable {
        auto read = source();
        if (auto* error = std::get_if<FlutterError>(&read)) return finish(std::move(*error));
        CFDataRef bytes = std::get<CFDataRef>(std::move(read));
        const uint64_t key = self->next_document_key_++;
        self->drawing_.read(
            key, bytes, password,
            [self, document_id = std::move(document_id),
             document = StoredDocument{bytes, password, key, {}}, notAPdf,
             finish = std::move(finish)](DrawingWorker::Reading reading) mutable {
              finish(self->stored(document_id, std::move(document), std::move(reading), notAPdf));
            });
      });
}

PdfPagesPlugin::Answer PdfPagesPlugin::stored(const std::string& documentId,
                                              StoredDocument document,
                                              DrawingWorker::Reading reading, const char* notAPdf) {
  if (auto* status = std::get_if<DrawingStatus>(&reading)) {
    return *status == DrawingStatus::unlockFailed ? unlockFailed()
                                                  : pdfError(kLoadFailedCode, notAPdf);
  }
  if (auto* error = std::get_if<FlutterError>(&reading)) return std::move(*error);
  document.pages = std::get<std::vector<MeasuredPage>>(std::move(reading));
  const size_t page_count = document.pages.size();
  document_repo_[documentId] = std::move(document);
  return Value(std::to_string(page_count));
}

void PdfPagesPlugin::answerInTurn(FlutterResult result, Work work) {
  calls_->enqueue(std::move(result), [self = shared_from_this(), work = std::move(work)](
                                         CallSequence::Finish finish) { finish(work(*self)); });
}

void PdfPagesPlugin::refuseInTurn(FlutterResult result, FlutterError error) {
  answerInTurn(std::move(result),
               [error = std::move(error)](PdfPagesPlugin&) { return Answer(error); });
}

void PdfPagesPlugin::drawInTurn(FlutterResult result, std::string documentId, int64_t pageNumber,
                                DrawingRequest request) {
  calls_->enqueue(
      std::move(result), [self = shared_from_this(), document_id = std::move(documentId),
                          pageNumber, request](CallSequence::Finish finish) mutable {
        auto page = self->findPage(document_id, pageNumber);
        if (auto* error = std::get_if<FlutterError>(&page)) return finish(std::move(*error));
        request.pageNumber = std::get<uint32_t>(page);
        const StoredDocument& stored = self->document_repo_.at(document_id);
        request.documentKey = stored.key;
        request.password = stored.password;
        self->drawing_.draw(
            std::move(request), stored.bytes,
            [finish = std::move(finish)](DrawingWorker::Outcome outcome) {
              if (auto* bitmap = std::get_if<std::shared_ptr<const DrawnBitmap>>(&outcome)) {
                finish(Value(std::move(*bitmap)));
              } else {
                finish(std::move(std::get<FlutterError>(outcome)));
              }
            });
      });
}

void PdfPagesPlugin::getPage(const Value& arguments, const FlutterResult& result) {
  const auto args = pdfArgumentReader(arguments);
  auto errors = pdfArgumentErrors();
  auto index = args.integer("index", errors);
  auto width = args.integer("width", errors);
  auto height = args.integer("height", errors);
  auto document_id = args.string("documentID", errors);
  if (!errors.ok()) return refuseInTurn(result, errors.error());

  auto size = checkedBitmapSize(*width, *height);
  if (!size) return refuseInTurn(result, invalidSize());
  DrawingRequest request;
  request.size = *size;
  drawInTurn(result, std::move(*document_id), *index, std::move(request));
}

void PdfPagesPlugin::getTileImage(const Value& arguments, const FlutterResult& result) {
  const auto args = pdfArgumentReader(arguments);
  auto errors = pdfArgumentErrors();
  auto page_number = args.integer("pageNumber", errors);
  auto scale = args.floatingPoint("scale", errors);
  auto width = args.floatingPoint("width", errors);
  auto height = args.floatingPoint("height", errors);
  auto x = args.floatingPoint("x", errors);
  auto y = args.floatingPoint("y", errors);
  auto document_id = args.string("documentID", errors);
  if (!errors.ok()) return refuseInTurn(result, errors.error());

  if (!std::isfinite(*scale) || *scale <= 0 || !std::isfinite(*x) || !std::isfinite(*y)) {
    return refuseInTurn(result,
                        pdfError(kInvalidArgumentsCode,
                                 "\"scale\" must be positive and finite, \"x\" and \"y\" finite"));
  }
  auto bitmap_width = truncatedSide(*width);
  auto bitmap_height = truncatedSide(*height);
  auto size = bitmap_width && bitmap_height ? checkedBitmapSize(*bitmap_width, *bitmap_height)
                                            : std::nullopt;
  if (!size) return refuseInTurn(result, invalidSize());
  DrawingRequest request;
  request.size = *size;
  request.isTile = true;
  request.tile = Tile{*scale, *x, *y, *height};
  drawInTurn(result, std::move(*document_id), *page_number, std::move(request));
}

void PdfPagesPlugin::getPagesWidth(const Value& arguments, const FlutterResult& result) {
  answerPageSizes(arguments, result, &MeasuredPage::width);
}

void PdfPagesPlugin::getPagesHeight(const Value& arguments, const FlutterResult& result) {
  answerPageSizes(arguments, result, &MeasuredPage::height);
}

void PdfPagesPlugin::answerPageSizes(const Value& arguments, const FlutterResult& result,
                                     double MeasuredPage::*measure) {
  const auto args = pdfArgumentReader(arguments);
  auto errors = pdfArgumentErrors();
  auto document_id = documentIdArgument(args, errors);
  if (!errors.ok()) return refuseInTurn(result, errors.error());
  answerInTurn(result, [document_id = std::move(*document_id), measure](PdfPagesPlugin& plugin) {
    return plugin.pageSizes(document_id, measure);
  });
}

PdfPagesPlugin::Answer PdfPagesPlugin::pageSizes(const std::string& documentId,
                                                 double MeasuredPage::*measure) const {
  auto found = document_repo_.find(documentId);
  if (found == document_repo_.end()) return unknownDocument(documentId);
  const std::vector<MeasuredPage>& pages = found->second.pages;
  ValueList sizes;
  sizes.reserve(pages.size());
  for (const MeasuredPage& page : pages) sizes.emplace_back(page.*measure);
  return Value(std::move(sizes));
}

void PdfPagesPlugin::closeDocument(const Value& arguments, const FlutterResult& result) {
  const auto args = pdfArgumentReader(arguments);
  auto errors = pdfArgumentErrors();
  auto document_id = documentIdArgument(args, errors);
  if (!errors.ok()) return refuseInTurn(result, errors.error());
  // A render sent before it has finished; the drawing worker lets go of the document too.
  calls_->enqueue(result, [self = shared_from_this(),
                           document_id = std::move(*document_id)](CallSequence::Finish finish) {
    auto found = self->document_repo_.find(document_id);
    if (found == self->document_repo_.end()) return finish(Value());
    const uint64_t key = found->second.key;
    self->document_repo_.erase(found);
    self->drawing_.release(key, [finish = std::move(finish)] { finish(Value()); });
  });
}

std::variant<uint32_t, FlutterError> PdfPagesPlugin::findPage(const std::string& documentId,
                                                              int64_t pageNumber) const {
  auto found = document_repo_.find(documentId);
  if (found == document_repo_.end()) return unknownDocument(documentId);
  const std::vector<MeasuredPage>& pages = found->second.pages;
  if (pageNumber >= 1 && static_cast<uint64_t>(pageNumber) <= pages.size()) {
    return pages[static_cast<size_t>(pageNumber - 1)].number;
  }
  return pdfError(kInvalidPageCode, "The document has no page " + std::to_string(pageNumber) +
                                        " (it has " + std::to_string(pages.size()) + ")");
}

}  // namespace pdf_pages
