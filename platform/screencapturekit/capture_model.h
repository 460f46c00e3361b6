// The system side of screen capture, shared by the framework classes and the test controls: the
// displays on offer, injected failures, held content requests and the running streams.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/dispatch/dispatch.h"
#include "platform/screencapturekit/sc_shareable_content.h"

class SCStream;

namespace screencapturekit {

struct CaptureModel {
  std::mutex mutex;
  std::vector<SCDisplay> displays;
  std::vector<SCWindow> windows;
  std::optional<NSError> content_failure;
  std::optional<NSError> add_output_failure;
  std::optional<NSError> start_failure;
  bool hold_content_requests = false;
  std::vector<SCShareableContent::CompletionHandler> held_content_requests;
  std::vector<std::weak_ptr<SCStream>> running_streams;
  // Streams started while held deliver no frames of their own.
  bool hold_screen_frames = false;
  // Counted without the model lock: a stream may end its timer while another holds that lock.
  std::atomic<size_t> screen_frame_timers{0};
  // Where the framework completes its requests.
  dispatch_queue_t queue =
      dispatch_queue_create("screencapturekit.framework", DISPATCH_QUEUE_SERIAL);
};

CaptureModel& captureModel();

// What the model offers when nothing was set: one 1920 x 1080 display, id 1.
std::vector<SCDisplay> defaultDisplays();

}  // namespace screencapturekit
