// The PDF plug-in's drawing worker: reads the documents the plug-in loads and draws the pages it
// asks for, in a process of its own that the plug-in ends when a reading or a page takes longer or
// more memory than it may. It keeps the document it read or drew last, so that the pages of one
// document are read once. The errors poppler reports for a document go on from the count the
// host hands over with it, and every answer tells the count: the host keeps it (and logs the
// summary) for the document's life, which outlives any one worker.
#include <memory>
#include <optional>
#include <utility>
#include <variant>

#include "platform/coregraphics/cg_pdf_document.h"
#include "platform/coregraphics/pdf_error_tally.h"
#include "platform/worker/shared_buffer.h"
#include "platform/worker/worker_channel.h"
#include "plugins/pdf_pages/document_reading.h"
#include "plugins/pdf_pages/drawing_messages.h"
#include "plugins/pdf_pages/page_rendering.h"

namespace {

using pdf_pages::DrawingRequest;
using pdf_pages::DrawingStatus;

struct HeldDocument {
  uint64_t key = 0;
  CGPDFDocumentRef document;
};

// The errors of the document the worker opened last, whether it opened or not.
struct LastCount {
  uint64_t key = 0;
  coregraphics::PdfErrorTally tally;
  uint64_t of(uint64_t documentKey) const {
    return tally && key == documentKey ? tally->load() : 0;
  }
};

// The memory the worker draws into, and what of it the last drawing may have left not zero.
struct Canvas {
  worker::SharedBuffer buffer;
  pdf_pages::BitmapSize size;
  pdf_pages::PixelRect dirty;
};

bool wasSent(worker::WorkerChannel::SendResult result) {
  return result == worker::WorkerChannel::SendResult::sent;
}

// Opens the document a request carries, in place of the one held (one document's memory at a
// time). A read is answered here: the pages, or why the document does not open. False when the
// answer could not be sent.
bool open(worker::WorkerChannel& channel, pdf_pages::ReceivedRequest& received,
          std::optional<HeldDocument>& held, LastCount& counted) {
  const DrawingRequest& request = received.request;
  held.reset();
  counted = {request.documentKey, std::make_shared<std::atomic<uint64_t>>(request.errorsCounted)};
  coregraphics::PdfErrorTallyScope counting(counted.tally);
  auto opened = pdf_pages::openDocument(std::move(*received.document), request.password);
  auto* document = std::get_if<CGPDFDocumentRef>(&opened);
  if (document) held = HeldDocument{request.documentKey, std::move(*document)};
  if (request.kind != DrawingRequest::Kind::read) return true;
  if (!held) {
    return wasSent(channel.send(
        pdf_pages::encodeStatus(std::get<DrawingStatus>(opened), counted.of(request.documentKey))));
  }
  auto pages = pdf_pages::measurePages(held->document);
  return wasSent(channel.send(pdf_pages::encodeReading(pages, counted.of(request.documentKey))));
}

// Draws straight into memory shared with the host, and answers the status with it. Memory of up to
// kKeptBufferBytes is kept for the next bitmap of the same size, unless the host still holds it
// (the request asks for a fresh canvas then); larger bitmaps have memory of their own, let go
// once handed over.
bool drawAndAnswer(worker::WorkerChannel& channel, const DrawingRequest& request,
                   const CGPDFDocumentRef& document, std::optional<Canvas>& canvas,
                   const LastCount& counted) {
  using worker::WorkerChannel;
  auto answer = [&](DrawingStatus status) {
    return channel.send(pdf_pages::encodeStatus(status, counted.of(request.documentKey))) ==
           WorkerChannel::SendResult::sent;
  };
  CGPDFPageRef page = CGPDFDocumentGetPage(document, request.pageNumber);
  if (!page) return answer(DrawingStatus::noPage);
  const size_t bytes = request.size.byteCount();
  if (canvas && canvas->buffer.bytes().size() == bytes && !request.freshCanvas) {
    // Where the last bitmap may have left pixels, in this one's rows: all of it when the same
    // bytes held another shape.
    if (canvas->size.width != request.size.width && !canvas->dirty.empty()) {
      canvas->dirty = {0, 0, request.size.width, request.size.height};
    }
  } else {
    canvas.reset();  // one bitmap's memory at a time
    if (auto buffer = worker::SharedBuffer::create(bytes)) {
      canvas = Canvas{std::move(*buffer), request.size, {}};  // fresh, so all zero
    }
  }
  if (!canvas) return answer(DrawingStatus::bitmapFailed);
  canvas->size = request.size;
  auto pixels = canvas->buffer.bytes();
  bool drawn = request.isTile
                   ? pdf_pages::drawTile(page, request.size, request.tile, pixels, canvas->dirty)
                   : pdf_pages::drawPage(page, request.size, pixels, canvas->dirty);
  if (!drawn) return answer(DrawingStatus::bitmapFailed);
  bool sent =
      channel.send(pdf_pages::encodeStatus(DrawingStatus::drawn, counted.of(request.documentKey)),
                   canvas->buffer) == WorkerChannel::SendResult::sent;
  if (bytes > worker::kKeptBufferBytes) canvas.reset();
  return sent;
}

}  // namespace

int main(int argc, char** argv) {
  worker::WorkerChannel channel = worker::WorkerChannel::adopt(argc, argv);
  std::optional<HeldDocument> held;
  LastCount counted;
  std::optional<Canvas> canvas;
  while (auto message = channel.receive()) {
    auto received = pdf_pages::decodeRequest(std::move(*message));
    if (!received) return 2;  // the host sends nothing else
    const DrawingRequest& request = received->request;
    bool answered = true;
    if (request.kind == DrawingRequest::Kind::release) {
      if (held && held->key == request.documentKey) held.reset();
      answered = wasSent(channel.send(pdf_pages::encodeStatus(DrawingStatus::released)));
    } else {
      if (received->document) answered = open(channel, *received, held, counted);
      if (answered && request.kind == DrawingRequest::Kind::draw) {
        answered = held && held->key == request.documentKey
                       ? drawAndAnswer(channel, request, held->document, canvas, counted)
                       : wasSent(channel.send(pdf_pages::encodeStatus(
                             DrawingStatus::notADocument, counted.of(request.documentKey))));
      }
    }
    if (!answered) return 3;
  }
  return 0;
}
