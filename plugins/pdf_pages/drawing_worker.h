// Reads documents and draws their pages in a worker process (pdf_drawing_main.cc), because poppler
// cannot be stopped from inside its own loops: a reading or a page that takes longer or more
// memory than its budget ends the worker, and that call answers its error (the load's or the
// render's). The next request starts a new worker, which is handed the document again. The worker
// keeps the document it read or drew last, so that loading a document and drawing its pages hands
// it over once, and ends once every document handed to it is released (its memory goes with it).
// It draws into memory it shares with the host (see
// platform/worker/shared_buffer.h), from which the answer's bytes are copied once, straight into
// the reply (DrawnBitmap).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/coregraphics/cf_data.h"
#include "platform/flutter/flutter.h"
#include "plugins/pdf_pages/drawing_messages.h"
#include "plugins/pdf_pages/drawn_bitmap.h"

namespace pdf_pages {

// What reading a document, or drawing one page or tile, may take.
struct DrawingLimits {
  // From handing the request over to its answer, document transfer included.
  std::chrono::milliseconds time{10000};
  // The worker's memory besides the document it holds (which it may take three times over: the
  // message, its own copy, poppler's reading of it). The bitmap it draws into counts here.
  size_t memoryBytes = size_t{1} << 30;
};

class DrawingWorker {
 public:
  // A drawing's bitmap (never null), or the error to answer.
  using Outcome = std::variant<std::shared_ptr<const DrawnBitmap>, FlutterError>;
  // The pages; or what the document answered (notADocument, unlockFailed); or the error when it
  // could not be read within the limits.
  using Reading = std::variant<std::vector<MeasuredPage>, DrawingStatus, FlutterError>;

  explicit DrawingWorker(DrawingLimits limits);
  ~DrawingWorker();
  DrawingWorker(const DrawingWorker&) = delete;
  DrawingWorker& operator=(const DrawingWorker&) = delete;

  // Opens the document `bytes` with `password` (see document_reading.h) and keeps it under
  // `documentKey`; `done` runs once, on the worker's queue.
  void read(uint64_t documentKey, CFDataRef bytes, std::optional<std::string> password,
            std::function<void(Reading)> done);
  // Draws what `request` asks of the document `bytes` (the bytes it was loaded from). `done` runs
  // once, on the worker's queue, with the bitmap or the error to answer. Requests are served one
  // at a time, in the order made: one made before the last is answered waits for it.
  void draw(DrawingRequest request, CFDataRef bytes, std::function<void(Outcome)> done);
  // Lets the worker let go of the document; `done` runs once it has (or has ended).
  void release(uint64_t documentKey, std::function<void()> done);

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace pdf_pages
