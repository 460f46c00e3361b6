#include "platform/screencapturekit/sc_stream.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "platform/screencapturekit/capture_model.h"
#include "platform/screencapturekit/screen_pattern.h"

namespace {

NSError streamError(long code, const char* description) {
  return NSError{SCStreamErrorDomain, code, description};
}

// The model display refreshes at 60 Hz: no stream gets frames more often.
constexpr int64_t kDisplayRefreshNs = NSEC_PER_SEC / 60;
// A frame interval longer than this is taken as this.
constexpr int64_t kLongestFrameIntervalNs = 60 * NSEC_PER_SEC;

int64_t frameIntervalNs(CMTime minimumFrameInterval) {
  const double seconds = CMTimeGetSeconds(minimumFrameInterval);
  if (!(seconds * NSEC_PER_SEC > kDisplayRefreshNs)) return kDisplayRefreshNs;
  if (seconds * NSEC_PER_SEC > kLongestFrameIntervalNs) return kLongestFrameIntervalNs;
  return static_cast<int64_t>(seconds * NSEC_PER_SEC);
}

CMTime hostTimeNow() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return CMTimeMake(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count(),
                    static_cast<CMTimeScale>(NSEC_PER_SEC));
}

}  // namespace

SCStream::SCStream(SCContentFilter filter, SCStreamConfiguration configuration,
                   std::weak_ptr<SCStreamDelegate> delegate)
    : filter_(std::move(filter)),
      configuration_(std::move(configuration)),
      delegate_(std::move(delegate)) {}

SCStream::~SCStream() { stopScreenFrames(); }

bool SCStream::addStreamOutput(const std::shared_ptr<SCStreamOutput>& output,
                               SCStreamOutputType type, dispatch_queue_t sampleHandlerQueue,
                               std::optional<NSError>* error) {
  auto& model = screencapturekit::captureModel();
  {
    std::lock_guard lock(model.mutex);
    if (model.add_output_failure) {
      if (error != nullptr) *error = std::exchange(model.add_output_failure, std::nullopt);
      return false;
    }
  }
  if (!output) {
    if (error != nullptr) *error = streamError(-3802, "The output is missing");
    return false;
  }
  if (!sampleHandlerQueue) sampleHandlerQueue = dispatch_get_global_queue(0, 0);
  std::lock_guard lock(mutex_);
  outputs_.push_back(Output{output, type, std::move(sampleHandlerQueue)});
  return true;
}

void SCStream::startCaptureWithCompletionHandler(CompletionHandler completionHandler) {
  auto& model = screencapturekit::captureModel();
  std::optional<NSError> failure;
  {
    std::lock_guard lock(model.mutex);
    failure = std::exchange(model.start_failure, std::nullopt);
  }
  // The request keeps the stream alive until it has answered.
  auto self = shared_from_this();
  dispatch_async(model.queue, [self, failure, handler = std::move(completionHandler)] {
    std::optional<NSError> outcome = failure;
    if (!outcome) outcome = self->beginRunning();
    if (handler) handler(outcome);
  });
}

std::optional<NSError> SCStream::beginRunning() {
  {
    std::lock_guard lock(mutex_);
    if (state_ == State::stopped) return streamError(-3805, "The stream was stopped");
    if (state_ == State::running) return streamError(-3807, "The stream is already running");
    state_ = State::running;
  }
  {
    auto& model = screencapturekit::captureModel();
    std::lock_guard lock(model.mutex);
    model.running_streams.push_back(shared_from_this());
  }
  startScreenFrames();
  return std::nullopt;
}

void SCStream::startScreenFrames() {
  auto& model = screencapturekit::captureModel();
  {
    std::lock_guard lock(model.mutex);
    if (model.hold_screen_frames) return;
  }
  CVPixelBufferRef image = screencapturekit::screenPattern(
      configuration_.width, configuration_.height, configuration_.pixelFormat);
  if (!image) return;
  CMVideoFormatDescriptionRef format;
  CMVideoFormatDescriptionCreateForImageBuffer(image, &format);
  auto timer = dispatch_source_create(
      DISPATCH_SOURCE_TYPE_TIMER, 0, 0,
      dispatch_queue_create("screencapturekit.frames", DISPATCH_QUEUE_SERIAL));
  // The timer holds the stream weakly, so that dropping the stream ends it.
  std::weak_ptr<SCStream> weak = weak_from_this();
  dispatch_source_set_event_handler(timer, [weak, image, format] {
    auto self = weak.lock();
    if (!self) return;
    auto sample = std::make_shared<CMSampleBuffer>(
        image, format, CMSampleTimingInfo{kCMTimeInvalid, hostTimeNow(), kCMTimeInvalid});
    self->deliverSample(sample, SCStreamOutputTypeScreen);
  });
  dispatch_source_set_timer(
      timer, dispatch_time(DISPATCH_TIME_NOW, 0),
      static_cast<uint64_t>(frameIntervalNs(configuration_.minimumFrameInterval)), 0);
  {
    std::lock_guard lock(mutex_);
    if (state_ != State::running) return;
    frame_timer_ = timer;
    ++model.screen_frame_timers;
  }
  dispatch_resume(timer);
}

void SCStream::stopScreenFrames() {
  dispatch_source_t timer;
  {
    std::lock_guard lock(mutex_);
    timer = std::exchange(frame_timer_, nullptr);
    if (!timer) return;
    --screencapturekit::captureModel().screen_frame_timers;
  }
  dispatch_source_cancel(timer);
}

void SCStream::stopCaptureWithCompletionHandler(CompletionHandler completionHandler) {
  auto& model = screencapturekit::captureModel();
  auto self = shared_from_this();
  dispatch_async(model.queue, [self, handler = std::move(completionHandler)] {
    bool was_running;
    {
      std::lock_guard lock(self->mutex_);
      was_running = self->state_ == State::running;
      self->state_ = State::stopped;
    }
    self->stopScreenFrames();
    {
      auto& model = screencapturekit::captureModel();
      std::lock_guard lock(model.mutex);
      std::erase_if(model.running_streams, [&](const std::weak_ptr<SCStream>& running) {
        auto stream = running.lock();
        return !stream || stream == self;
      });
    }
    if (!handler) return;
    if (was_running) {
      handler(std::nullopt);
    } else {
      handler(streamError(-3808, "The stream was not running"));
    }
  });
}

void SCStream::deliverSample(const CMSampleBufferRef& sample,
                             SCStreamOutputType type) {
  std::vector<Output> targets;
  {
    std::lock_guard lock(mutex_);
    if (state_ != State::running) return;
    for (const auto& output : outputs_) {
      if (output.type == type) targets.push_back(output);
    }
  }
  auto self = shared_from_this();
  for (auto& target : targets) {
    dispatch_async(target.queue, [self, sample, type, output = target.output] {
      if (auto receiver = output.lock()) receiver->stream(*self, sample, type);
    });
  }
}
