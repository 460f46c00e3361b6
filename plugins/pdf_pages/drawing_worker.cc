#include "plugins/pdf_pages/drawing_worker.h"

#include <algorithm>
#include <csignal>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "platform/coregraphics/internal/pdf_error_log.h"
#include "platform/dispatch/dispatch.h"
#include "platform/foundation/ns_log.h"
#include "platform/foundation/system_error.h"
#include "platform/worker/worker_process.h"
#include "plugins/pdf_pages/pdf_errors.h"

namespace pdf_pages {

namespace {

using Clock = std::chrono::steady_clock;

// Handing a large document over and reading it take time of their own.
constexpr size_t kTransferBytesPerSecond = size_t{64} << 20;
// A reading's answer takes 20 bytes a page: this is more than the pages a worker can hold within
// its memory, and apart from the bitmap's limit, which a reply frame sets.
constexpr size_t kMaxReadingBytes = size_t{256} << 20;

// Killed by a signal this host never sends its workers (it ends them as past their deadline or
// terminated, and their own limits end them otherwise): someone else killed the process, idle or
// not, and the request it had is not known to be one that cannot be drawn.
bool killedFromOutside(const worker::WorkerEnd& end) {
  return end.reason == worker::WorkerEndReason::crashed && end.code == SIGKILL;
}

// Ended by a signal that no limit of its own raises: a worker past its memory faults (an
// allocation that fails aborts or leaves a null to trip on), which stays an end within the limits.
bool killedBySignal(const worker::WorkerEnd& end) {
  return end.reason == worker::WorkerEndReason::crashed && end.code != SIGABRT &&
         end.code != SIGSEGV && end.code != SIGBUS;
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
  // The documents handed to this worker and not released: it counts their errors until then.
  std::set<uint64_t> handed_keys;
  // The errors of each document read and not released, counted here because a worker may end at
  // any time and the next must not log the same document's first errors again.
  struct DocumentErrors {
    uint64_t counted = 0;
    // When handed to the current worker: the count it was given, and the true count then.
    uint64_t handed_base = 0;
    uint64_t counted_at_hand = 0;
    // A worker ended while working on it, perhaps after logging some: the rest are only counted.
    bool logging_spent = false;
  };
  std::map<uint64_t, DocumentErrors> errors;
  // The last bitmap answered: while someone holds it, the worker must not draw into its memory.
  std::weak_ptr<const DrawnBitmap> last_drawn;
  // The request the worker owes an answer to: exactly one of the callbacks is set.
  struct Pending {
    std::function<void(Outcome)> drawn;
    std::function<void()> released;
    std::function<void(Reading)> read;
    size_t pixel_bytes = 0;
    uint64_t key = 0;
    // Sends the request once more, to a fresh worker, with the callback it holds: set on its
    // first sending only.
    std::function<void(Pending&)> again;
  };
  std::optional<Pending> pending;
  // Requests made while one was under way, in the order made: each is sent once those before it
  // are answered, so none overwrites another's answer.
  std::deque<std::function<void(State&)>> waiting;

  void inTurn(std::function<void(State&)> request) {
    waiting.push_back(std::move(request));
    serveWaiting();
  }
  void serveWaiting() {
    while (!pending && !waiting.empty()) {
      auto next = std::move(waiting.front());
      waiting.pop_front();
      next(*this);
    }
  }

  std::string limitsText() const {
    return std::to_string(limits.time.count()) + " ms, " +
           std::to_string(limits.memoryBytes >> 20) + " MiB besides the document";
  }
  FlutterError limitError() const {
    return pdfError(kBitmapFailedCode,
                    "The page could not be drawn within the drawing limits (" + limitsText() + ")");
  }
  FlutterError readingLimitError() const {
    return pdfError(kLoadFailedCode, "The document could not be read within the reading limits (" +
                                         limitsText() + ")");
  }

  // Starts a worker that may hold a document of `documentBytes`, ending the one before.
  void start(size_t documentBytes) {
    process.reset();
    held_key = 0;
    handed_keys.clear();
    ended = false;
    process_memory = limits.memoryBytes + 3 * documentBytes;
    std::weak_ptr<State> weak = weak_from_this();
    process = worker::WorkerProcess::start(
        {.executable = "pdf_drawing",
         .arguments = {},
         .memoryLimitBytes = process_memory,
         .maxMessageBytes = std::max({documentBytes, kMaxReadingBytes, kMaxBitmapBytes}) + 4096,
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

  // A worker that may hold a document of `documentBytes`: the running one, or a new one.
  void startFor(size_t documentBytes) {
    if (!process || ended || process_memory < limits.memoryBytes + 3 * documentBytes) {
      start(documentBytes);
    }
  }

  // The request's time, and more for a document handed over with it.
  // It counts the worker's CPU time, so that a busy machine fails no drawing that an idle one
  // finishes in time; the wall clock backs it up at three times that and 5 s more.
  void setDeadline(size_t handedBytes) {
    auto time =
        limits.time + std::chrono::milliseconds(handedBytes * 1000 / kTransferBytesPerSecond);
    process->setCpuDeadline(time);
    process->setDeadline(Clock::now() + 3 * time + std::chrono::seconds(5));
  }
  void clearDeadline() {
    process->setDeadline(std::nullopt);
    process->setCpuDeadline(std::nullopt);
  }

  // The count the worker starts the document's errors at.
  uint64_t handOver(uint64_t documentKey) {
    using coregraphics::internal::PdfErrorLog;
    DocumentErrors& document = errors[documentKey];
    document.counted_at_hand = document.counted;
    document.handed_base = document.logging_spent
                               ? std::max(document.counted, PdfErrorLog::kLoggedErrors + 1)
                               : document.counted;
    return document.handed_base;
  }

  void noteErrors(uint64_t documentKey, uint64_t reported) {
    auto document = errors.find(documentKey);
    if (document == errors.end() || reported < document->second.handed_base) return;
    document->second.counted =
        document->second.counted_at_hand + (reported - document->second.handed_base);
  }

  void logSummary(uint64_t documentKey) {
    using coregraphics::internal::PdfErrorLog;
    auto document = errors.find(documentKey);
    if (document == errors.end()) return;
    if (document->second.counted > PdfErrorLog::kLoggedErrors) {
      NSLog("PDF document: %llu errors in all, the first %llu logged",
            static_cast<unsigned long long>(document->second.counted),
            static_cast<unsigned long long>(PdfErrorLog::kLoggedErrors));
    }
    errors.erase(document);
  }

  void received(worker::WorkerMessage message) {
    if (!pending) {
      process->terminate();  // it speaks out of turn
      return;
    }
    auto status = decodeStatus(message.bytes);
    if (!status) return process->terminate();
    noteErrors(pending->key, decodeErrorCount(message.bytes));
    if (message.bufferError != 0 && pending->drawn && *status == DrawingStatus::drawn) {
      // Drawn, but this process had no descriptor to take the bitmap in: its own failure, and the
      // worker, which did as asked, goes on.
      return finish(pdfError(kBitmapFailedCode, "The bitmap could not be received: " +
                                                    foundation::describeSystemError(
                                                        message.bufferError)));
    }
    if (message.bufferError != 0) return process->terminate();
    if (pending->read) return receivedReading(*status, message);
    if ((pending->released && *status != DrawingStatus::released) ||
        (!pending->released && *status == DrawingStatus::released) ||
        *status == DrawingStatus::read || *status == DrawingStatus::unlockFailed ||
        (*status == DrawingStatus::drawn) != message.buffer.has_value()) {
      return process->terminate();
    }
    switch (*status) {
      case DrawingStatus::drawn:
        // Only a bitmap of exactly the size asked for is believed: these bytes come from the
        // document's drawing.
        if (message.buffer->bytes().size() != pending->pixel_bytes) return process->terminate();
        return finishDrawn(std::make_shared<const DrawnBitmap>(std::move(*message.buffer)));
      case DrawingStatus::released:
        finish(nullptr);
        // A worker that holds no document keeps only what drawing left (caches, a heap grown by
        // a large page, the kept buffer): it ends, and the next request starts a fresh one.
        if (handed_keys.empty()) endIdleWorker();
        return;
      case DrawingStatus::notADocument:
        held_key = 0;
        return finish(pdfError(kBitmapFailedCode, "The document could not be read to draw it"));
      case DrawingStatus::noPage:
      case DrawingStatus::bitmapFailed:
        return finish(pdfError(kBitmapFailedCode, "The bitmap could not be made"));
      case DrawingStatus::read:
      case DrawingStatus::unlockFailed:
        break;
    }
  }

  void receivedReading(DrawingStatus status, const worker::WorkerMessage& message) {
    if (message.buffer) return process->terminate();
    Reading reading;
    if (status == DrawingStatus::read) {
      auto pages = decodeReading(message.bytes);
      if (!pages) return process->terminate();
      reading = std::move(*pages);
    } else if (status == DrawingStatus::notADocument || status == DrawingStatus::unlockFailed) {
      held_key = 0;
      reading = status;
    } else {
      return process->terminate();
    }
    clearDeadline();
    auto done = std::move(pending->read);
    pending.reset();
    done(std::move(reading));
    serveWaiting();
  }

  void endIdleWorker() {
    if (pending) return;  // a request sent from the release's completion keeps it
    process.reset();
    ended = true;
    held_key = 0;
  }

  // Ends the pending drawing or release with `outcome` (ignored for a release).
  void finish(Outcome outcome) {
    clearDeadline();
    Pending finished = std::move(*pending);
    pending.reset();
    if (finished.released) {
      finished.released();
    } else {
      finished.drawn(std::move(outcome));
    }
    serveWaiting();
  }

  void finishDrawn(std::shared_ptr<const DrawnBitmap> bitmap) {
    last_drawn = bitmap;
    finish(std::move(bitmap));
  }

  void endedWith(worker::WorkerEnd end) {
    ended = true;
    held_key = 0;
    answerEnd(end);
    serveWaiting();
  }

  // Answers the request the ended worker owed, or sends it once more.
  void answerEnd(const worker::WorkerEnd& end) {
    if (!pending) return;
    Pending finished = std::move(*pending);
    pending.reset();
    if (auto document = errors.find(finished.key); document != errors.end()) {
      document->second.logging_spent = true;
    }
    if (finished.released) return finished.released();
    if (finished.again && killedFromOutside(end)) return finished.again(finished);
    const bool reading = finished.read != nullptr;
    FlutterError error = reading ? readingLimitError() : limitError();
    const char* process_name = reading ? "reading" : "drawing";
    if (end.reason == worker::WorkerEndReason::failedToStart) {
      error.message = std::string("The ") + process_name +
                      " process could not be started: " + foundation::describeSystemError(end.code);
    } else if (end.reason == worker::WorkerEndReason::terminated ||
               end.reason == worker::WorkerEndReason::brokeFraming) {
      error.message = std::string("The ") + process_name + " process answered what was not asked";
    } else if (killedBySignal(end)) {
      error.message = std::string("The ") + process_name + " process was killed (signal " +
                      std::to_string(end.code) + ") before it answered; no " + process_name +
                      " limit was reached";
    }
    if (reading) return finished.read(std::move(error));
    finished.drawn(std::move(error));
  }

  void read(uint64_t documentKey, const CFDataRef& bytes, std::optional<std::string> password,
            std::function<void(Reading)> done, bool again = false) {
    static const std::vector<uint8_t> kNoBytes;
    const std::vector<uint8_t>& document = bytes ? bytes->bytes() : kNoBytes;
    startFor(document.size());
    DrawingRequest request;
    request.kind = DrawingRequest::Kind::read;
    request.documentKey = documentKey;
    request.password = password;
    errors[documentKey] = {};
    request.errorsCounted = handOver(documentKey);
    if (!process->send(encodeRequest(request, &document)) && !again) {
      errors.erase(documentKey);
      ended = true;  // see draw
      return read(documentKey, bytes, std::move(password), std::move(done), true);
    }
    held_key = documentKey;
    handed_keys.insert(documentKey);
    pending = Pending{nullptr, nullptr, std::move(done), 0, documentKey, nullptr};
    if (!again) {
      pending->again = [this, documentKey, bytes, password](Pending& finished) {
        read(documentKey, bytes, password, std::move(finished.read), true);
      };
    }
    setDeadline(document.size());
  }

  // `again` when the request went to a worker that had ended before it could take it.
  void draw(DrawingRequest request, const CFDataRef& bytes, std::function<void(Outcome)> done,
            bool again = false) {
    const size_t document_bytes = bytes ? bytes->bytes().size() : 0;
    startFor(document_bytes);
    const bool hand_over = held_key != request.documentKey;
    request.freshCanvas = !last_drawn.expired();
    if (hand_over) request.errorsCounted = handOver(request.documentKey);
    auto message = encodeRequest(request, hand_over && bytes ? &bytes->bytes() : nullptr);
    if (!process->send(std::move(message)) && !again) {
      // One request at a time, within the sizes agreed: only a worker that has ended refuses it,
      // its end not yet seen here. A fresh one takes the request; one that refuses it too has
      // ended at once (it could not start, say), and its end, on this queue, answers why.
      ended = true;
      return draw(std::move(request), bytes, std::move(done), true);
    }
    held_key = request.documentKey;
    handed_keys.insert(request.documentKey);
    pending = Pending{std::move(done),     nullptr, nullptr, request.size.byteCount(),
                      request.documentKey, nullptr};
    if (!again) {
      pending->again = [this, request, bytes](Pending& finished) {
        draw(request, bytes, std::move(finished.drawn), true);
      };
    }
    setDeadline(hand_over ? document_bytes : 0);
  }

  void release(uint64_t documentKey, std::function<void()> done) {
    logSummary(documentKey);
    // A document handed over is released even when another is held now.
    if (!process || ended || handed_keys.erase(documentKey) == 0) return done();
    DrawingRequest request;
    request.kind = DrawingRequest::Kind::release;
    request.documentKey = documentKey;
    if (held_key == documentKey) held_key = 0;
    if (!process->send(encodeRequest(request, nullptr))) return done();
    pending = Pending{nullptr, std::move(done), nullptr, 0, documentKey};
    setDeadline(0);
  }
};

DrawingWorker::DrawingWorker(DrawingLimits limits) : state_(std::make_shared<State>()) {
  state_->limits = limits;
}

// The worker goes with the last block that holds its state.
DrawingWorker::~DrawingWorker() = default;

void DrawingWorker::read(uint64_t documentKey, CFDataRef bytes, std::optional<std::string> password,
                         std::function<void(Reading)> done) {
  dispatch_async(state_->queue, [state = state_, documentKey, bytes = std::move(bytes),
                                 password = std::move(password), done = std::move(done)]() mutable {
    state->inTurn([documentKey, bytes, password = std::move(password),
                   done = std::move(done)](State& self) mutable {
      self.read(documentKey, bytes, std::move(password), std::move(done));
    });
  });
}

void DrawingWorker::draw(DrawingRequest request, CFDataRef bytes,
                         std::function<void(Outcome)> done) {
  dispatch_async(state_->queue, [state = state_, request = std::move(request),
                                 bytes = std::move(bytes), done = std::move(done)]() mutable {
    state->inTurn([request = std::move(request), bytes = std::move(bytes),
                   done = std::move(done)](State& self) mutable {
      self.draw(std::move(request), bytes, std::move(done));
    });
  });
}

void DrawingWorker::release(uint64_t documentKey, std::function<void()> done) {
  dispatch_async(state_->queue, [state = state_, documentKey, done = std::move(done)]() mutable {
    state->inTurn([documentKey, done = std::move(done)](State& self) mutable {
      self.release(documentKey, std::move(done));
    });
  });
}

}  // namespace pdf_pages
