// Draws pages in a worker process (pdf_drawing_main.cc), because poppler cannot be stopped from
// inside its own loops: a page whose drawing takes longer or more memory than its budget ends the
// worker, and that drawing answers the render error. The next drawing starts a new worker, which
// is handed the document again. The worker keeps the document it drew last, so that drawing the
// pages of one document hands it over once. It draws into memory it shares with the host (see
// platform/worker/shared_buffer.h), from which the answer's bytes are copied once.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <variant>

#include "platform/coregraphics/cf_data.h"
#include "platform/flutter/flutter.h"
#include "plugins/pdf_pages/drawing_messages.h"

namespace pdf_pages {

// What drawing one page or tile may take.
struct DrawingLimits {
  // From handing the request over to the last pixel, document transfer included.
  std::chrono::milliseconds time{10000};
  // The worker's memory besides the document it holds (which it may take three times over: the
  // message, its own copy, poppler's reading of it). The bitmap it draws into counts here.
  size_t memoryBytes = size_t{1} << 30;
};

class DrawingWorker {
 public:
  using Outcome = std::variant<Bitmap, FlutterError>;

  explicit DrawingWorker(DrawingLimits limits);
  ~DrawingWorker();
  DrawingWorker(const DrawingWorker&) = delete;
  DrawingWorker& operator=(const DrawingWorker&) = delete;

  // Draws what `request` asks of the document `bytes` (the bytes it was loaded from). `done` runs
  // once, on the worker's queue, with the bitmap or the error to answer. One request at a time:
  // the next only after `done`.
  void draw(DrawingRequest request, CFDataRef bytes, std::function<void(Outcome)> done);
  // Lets the worker let go of the document; `done` runs once it has (or has ended).
  void release(uint64_t documentKey, std::function<void()> done);

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace pdf_pages
