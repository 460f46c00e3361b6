#include "plugins/webrtc_host/host_screen_capture_kit_capturer.h"

#include <cmath>
#include <limits>

#include "platform/coregraphics/cg_display.h"
#include "platform/foundation/ns_process_info.h"
#include "platform/webrtc/rtc_cv_pixel_buffer.h"
#include "platform/webrtc/rtc_video_frame.h"

namespace webrtc_host {
namespace {

bool screenCaptureKitAvailable() {
  return NSProcessInfo::processInfo().isOperatingSystemAtLeastVersion({12, 3, 0});
}

NSError captureError(long code, const char* description) {
  return NSError{kScreenCaptureKitErrorDomain, code, description};
}

int64_t nanosecondsOf(double seconds) {
  const double nanoseconds = seconds * 1e9;
  // A time that is not a number, or beyond the range, is no time at all.
  if (!std::isfinite(nanoseconds) ||
      std::fabs(nanoseconds) >= static_cast<double>(std::numeric_limits<int64_t>::max())) {
    return 0;
  }
  return static_cast<int64_t>(nanoseconds);
}

}  // namespace

HostScreenCaptureKitCapturer::HostScreenCaptureKitCapturer(
    std::weak_ptr<RTCVideoCapturerDelegate> delegate)
    : capturer_(std::make_shared<RTCVideoCapturer>(delegate)),
      delegate_(std::move(delegate)),
      capture_queue_(dispatch_queue_create("com.ruvevev.sck.capture", DISPATCH_QUEUE_SERIAL)) {}

void HostScreenCaptureKitCapturer::startCaptureWithFPS(long fps,
                                                       const std::optional<std::string>& sourceId,
                                                       StartHandler onStarted) {
  if (!screenCaptureKitAvailable()) {
    onStarted(captureError(-2, "ScreenCaptureKit not available"));
    return;
  }
  uint64_t generation;
  {
    std::lock_guard lock(mutex_);
    generation = generation_;
  }
  auto self = shared_from_this();
  SCShareableContent::getShareableContentWithCompletionHandler(
      [self, fps, sourceId, generation, onStarted = std::move(onStarted)](
          std::shared_ptr<SCShareableContent> content, std::optional<NSError> error) {
        if (error || !content) {
          onStarted(error.value_or(captureError(-1, "No matching display")));
          return;
        }
        self->startWithContent(*content, fps, sourceId, generation, onStarted);
      });
}

void HostScreenCaptureKitCapturer::startWithContent(const SCShareableContent& content, long fps,
                                                    const std::optional<std::string>& sourceId,
                                                    uint64_t generation,
                                                    const StartHandler& onStarted) {
  auto display = selectDisplayFromContent(content, sourceId);
  if (!display) {
    onStarted(captureError(-1, "No matching display"));
    return;
  }
  SCContentFilter filter(*display, {});
  SCStreamConfiguration configuration;
  configuration.width = static_cast<size_t>(std::max(display->width, 0L));
  configuration.height = static_cast<size_t>(std::max(display->height, 0L));
  const long rate = fps < 2 ? 1 : std::min<long>(fps, std::numeric_limits<int32_t>::max());
  configuration.minimumFrameInterval = CMTimeMake(1, static_cast<int32_t>(rate));
  configuration.pixelFormat = kCVPixelFormatType_420YpCbCr8BiPlanarFullRange;
  if (NSProcessInfo::processInfo().isOperatingSystemAtLeastVersion({13, 0, 0})) {
    configuration.showsCursor = true;
  }
  auto stream = std::make_shared<SCStream>(std::move(filter), configuration,
                                           std::weak_ptr<SCStreamDelegate>());
  {
    std::lock_guard lock(mutex_);
    if (generation != generation_) {
      onStarted(captureError(-3, "Capture was stopped before it started"));
      return;
    }
    stream_ = stream;
  }
  std::optional<NSError> error;
  if (!stream->addStreamOutput(shared_from_this(), SCStreamOutputTypeScreen, capture_queue_,
                               &error)) {
    onStarted(error.value_or(captureError(-1, "The capture output could not be added")));
    return;
  }
  // A stop from now on stops this stream; a start after that stop fails.
  stream->startCaptureWithCompletionHandler(
      [onStarted](std::optional<NSError> startError) { onStarted(startError); });
}

void HostScreenCaptureKitCapturer::stopCaptureWithCompletion(std::function<void()> completion) {
  std::shared_ptr<SCStream> stream;
  {
    std::lock_guard lock(mutex_);
    ++generation_;
    stream = std::move(stream_);
  }
  if (!stream || !screenCaptureKitAvailable()) {
    if (completion) completion();
    return;
  }
  stream->stopCaptureWithCompletionHandler([completion](std::optional<NSError>) {
    if (completion) completion();
  });
}

std::optional<SCDisplay> HostScreenCaptureKitCapturer::selectDisplayFromContent(
    const SCShareableContent& content, const std::optional<std::string>& sourceId) {
  const auto& displays = content.displays();
  if (displays.empty()) return std::nullopt;
  if (sourceId && !sourceId->empty()) {
    for (const auto& display : displays) {
      if (std::to_string(display.displayID) == *sourceId) return display;
    }
  }
  const CGDirectDisplayID main_display = CGMainDisplayID();
  for (const auto& display : displays) {
    if (display.displayID == main_display) return display;
  }
  return displays.front();
}

void HostScreenCaptureKitCapturer::stream(SCStream& /*stream*/,
                                          const CMSampleBufferRef& sampleBuffer,
                                          SCStreamOutputType type) {
  if (type != SCStreamOutputTypeScreen) return;
  CVPixelBufferRef image = CMSampleBufferGetImageBuffer(sampleBuffer);
  if (!image) return;
  const int64_t time_stamp_ns = nanosecondsOf(CMTimeGetSeconds(
      CMSampleBufferGetPresentationTimeStamp(sampleBuffer)));
  auto frame = std::make_shared<RTCVideoFrame>(std::make_shared<RTCCVPixelBuffer>(image),
                                               RTCVideoRotation_0, time_stamp_ns);
  if (auto delegate = delegate_.lock()) delegate->capturer(*capturer_, frame);
}

}  // namespace webrtc_host
