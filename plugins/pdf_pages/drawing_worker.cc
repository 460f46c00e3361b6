#include "plugins/pdf_pages/drawing_worker.h"

#include <sys/mman.h>

#include <optional>
#include <string>
#include <utility>

#include "platform/dispatch/dispatch.h"
#include "platform/worker/worker_process.h"
#include "plugins/pdf_pages/pdf_errors.h"

namespace pdf_pages {

namespace {

using Clock = std::chrono::steady_clock;

// Handing a large document over and reading it take time of their own.
constexpr size_t kTransferBytesPerSecond = size_t{64} << 20;

// Asks for huge pages under the whole 2 MiB spans of [data, data + bytes). Filling a large
// bitmap touches every page of it, and faulting it in 4 KiB at a time costs as much as the copy;
// where the kernel refuses, nothing changes.
void preferHugePages(const uint8_t* data, size_t bytes) {
#if defined(MADV_HUGEPAGE)
  constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
  const auto begin = (reinterpret_cast<uintptr_t>(data) + kHugePage - 1) & ~(kHugePage - 1);
  const auto end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(kHugePage - 1);
  if (begin < end) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

// The answer's own copy of the worker's bitmap: the one copy the pixels take in the host.
Bitmap copiedBitmap(std::span<const uint8_t> pixels) {
  Bitmap bitmap;
  bitmap.reserve(pixels.size());
  preferHugePages(bitmap.data(), pixels.size());
  bitmap.assign(pixels.begin(), pixels.end());
  return bitmap;
}

}  // namespace

struct DrawingWorker::State : std::enable_shared_from_this<DrawingWorker::State> {
  DrawingLimits limits;
  dispatch_queue_t queue = dispatch_queue_create("pdf_pages.drawing", DISPATCH_QUEUE_SERIAL);

  // The rest is touched on `queue` only.
  std::unique_ptr<worker::WorkerProcess> process;
  bool ended = true;
  size_t process_memory = 0;
  // The document the worker holds; 0 for none.
  uint64_t held_key = 0;
  struct Pending {
    std::function<void(Outcome)> drawn;
    std::function<void()> released;
    size_t pixel_bytes = 0;
  };
  std::optional<Pending> pending;

  FlutterError limitError() const {
    return pdfError(kBitmapFailedCode, "The page could not be drawn within the drawing limits (" +
                                           std::to_string(limits.time.count()) + " ms, " +
                                           std::to_string(limits.memoryBytes >> 20) +
                                           " MiB besides the document)");
  }

  // Starts a worker that may hold a document of `documentBytes`, ending the one before.
  void start(size_t documentBytes) {
    process.reset();
    held_key = 0;
    ended = false;
    process_memory = limits.memoryBytes + 3 * documentBytes;
    std::weak_ptr<State> weak = weak_from_this();
    process = worker::WorkerProcess::start(
        {.executable = "pdf_drawing",
         .arguments = {},
         .memoryLimitBytes = process_memory,
         .maxMessageBytes = std::max(documentBytes, size_t{kMaxBitmapBytes}) + 4096,
         .maxBufferBytes = kMaxBitmapBytes},
        queue,
        [weak](worker::WorkerMessage message) {
          if (auto self = weak.lock()) self->received(std::move(message));
          return true;
        },
        [weak](worker::WorkerEnd end) {
          if (auto self = weak.lock()) self->endedWith(end);
        });
  }

  void received(worker::WorkerMessage message) {
    if (!pending) {
      process->terminate();  // it speaks out of turn
      return;
    }
    auto status = decodeStatus(message.bytes);
    if (!status || (pending->released && *status != DrawingStatus::released) ||
        (!pending->released && *status == DrawingStatus::released) ||
        (*status == DrawingStatus::drawn) != message.buffer.has_value()) {
      return process->terminate();
    }
    switch (*status) {
      case DrawingStatus::drawn:
        // Only a bitmap of exactly the size asked for is believed: these bytes come from the
        // document's drawing.
        if (message.buffer->bytes().size() != pending->pixel_bytes) return process->terminate();
        return finish(copiedBitmap(message.buffer->bytes()));
      case DrawingStatus::released:
        return finish(Bitmap());
      case DrawingStatus::notADocument:
        held_key = 0;
        return finish(pdfError(kBitmapFailedCode, "The document could not be read to draw it"));
      case DrawingStatus::noPage:
      case DrawingStatus::bitmapFailed:
        return finish(pdfError(kBitmapFailedCode, "The bitmap could not be made"));
    }
  }

  // Ends the pending request with `outcome` (ignored for a release).
  void finish(Outcome outcome) {
    process->setDeadline(std::nullopt);
    Pending finished = std::move(*pending);
    pending.reset();
    if (finished.released) return finished.released();
    finished.drawn(std::move(outcome));
  }

  void endedWith(worker::WorkerEnd end) {
    ended = true;
    held_key = 0;
    if (!pending) return;
    Pending finished = std::move(*pending);
    pending.reset();
    if (finished.released) return finished.released();
    if (end.reason == worker::WorkerEndReason::failedToStart) {
      return finished.drawn(
          pdfError(kBitmapFailedCode, "The drawing process could not be started"));
    }
    if (end.reason == worker::WorkerEndReason::terminated ||
        end.reason == worker::WorkerEndReason::brokeFraming) {
      return finished.drawn(
          pdfError(kBitmapFailedCode, "The drawing process answered what was not asked"));
    }
    finished.drawn(limitError());
  }

  void draw(DrawingRequest request, const CFDataRef& bytes, std::function<void(Outcome)> done) {
    const size_t document_bytes = bytes ? bytes->bytes().size() : 0;
    if (!process || ended || process_memory < limits.memoryBytes + 3 * document_bytes) {
      start(document_bytes);
    }
    const bool hand_over = held_key != request.documentKey;
    auto message = encodeRequest(request, hand_over && bytes ? &bytes->bytes() : nullptr);
    if (!process->send(std::move(message))) {
      done(pdfError(kBitmapFailedCode, "The page could not be handed to the drawing process"));
      return;
    }
    held_key = request.documentKey;
    pending = Pending{std::move(done), nullptr, request.size.byteCount()};
    auto budget =
        limits.time +
        std::chrono::milliseconds(hand_over ? document_bytes * 1000 / kTransferBytesPerSecond : 0);
    process->setDeadline(Clock::now() + budget);
  }

  void release(uint64_t documentKey, std::function<void()> done) {
    if (!process || ended || held_key != documentKey) return done();
    DrawingRequest request;
    request.kind = DrawingRequest::Kind::release;
    request.documentKey = documentKey;
    held_key = 0;
    if (!process->send(encodeRequest(request, nullptr))) return done();
    pending = Pending{nullptr, std::move(done), 0};
    process->setDeadline(Clock::now() + limits.time);
  }
};

DrawingWorker::DrawingWorker(DrawingLimits limits) : state_(std::make_shared<State>()) {
  state_->limits = limits;
}

// The worker goes with the last block that holds its state.
DrawingWorker::~DrawingWorker() = default;

void DrawingWorker::draw(DrawingRequest request, CFDataRef bytes,
                         std::function<void(Outcome)> done) {
  dispatch_async(state_->queue, [state = state_, request = std::move(request),
                                 bytes = std::move(bytes), done = std::move(done)]() mutable {
    state->draw(std::move(request), bytes, std::move(done));
  });
}

void DrawingWorker::release(uint64_t documentKey, std::function<void()> done) {
  dispatch_async(state_->queue, [state = state_, documentKey, done = std::move(done)]() mutable {
    state->release(documentKey, std::move(done));
  });
}

}  // namespace pdf_pages
