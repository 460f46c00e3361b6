#include "platform/webrtc/rtc_desktop_capturer.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "platform/dispatch/dispatch.h"
#include "platform/webrtc/desktop_model.h"
#include "platform/webrtc/rtc_cv_pixel_buffer.h"

namespace {

constexpr long kMostFramesPerSecond = 60;

// The source's picture, or the first screen's when capturing the default screen.
std::shared_ptr<webrtc::NSImage> pictureOf(const std::shared_ptr<RTCDesktopSource>& source) {
  if (source) {
    auto entry = webrtc_model::desktopEntry(source->sourceId());
    return entry ? entry->image : nullptr;
  }
  auto& model = webrtc_model::desktopModel();
  std::lock_guard lock(model.mutex);
  for (const auto& entry : model.entries) {
    if (entry.type == RTCDesktopSourceTypeScreen) return entry.image;
  }
  return nullptr;
}

// RGBA rows to a 32BGRA pixel buffer; null when no buffer of that size can be made.
CVPixelBufferRef toPixelBuffer(const webrtc::NSImage& image) {
  CVPixelBufferRef buffer;
  if (CVPixelBufferCreate(image.pixelsWide(), image.pixelsHigh(), kCVPixelFormatType_32BGRA,
                          &buffer) != kCVReturnSuccess) {
    return nullptr;
  }
  for (size_t y = 0; y < image.pixelsHigh(); ++y) {
    const uint8_t* from = image.bitmapData() + y * image.bytesPerRow();
    uint8_t* to = buffer->baseAddress() + y * buffer->bytesPerRow();
    for (size_t x = 0; x < image.pixelsWide(); ++x, from += 4, to += 4) {
      to[0] = from[2];
      to[1] = from[1];
      to[2] = from[0];
      to[3] = from[3];
    }
  }
  return buffer;
}

int64_t hostTimeNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

RTCDesktopCapturer::RTCDesktopCapturer(std::shared_ptr<RTCDesktopSource> source,
                                       std::weak_ptr<RTCDesktopCapturerDelegate> delegate,
                                       std::weak_ptr<RTCVideoCapturerDelegate> captureDelegate)
    : RTCVideoCapturer(std::move(captureDelegate)),
      source_(std::move(source)),
      capturer_delegate_(std::move(delegate)) {}

RTCDesktopCapturer::RTCDesktopCapturer(std::weak_ptr<RTCDesktopCapturerDelegate> delegate,
                                       std::weak_ptr<RTCVideoCapturerDelegate> captureDelegate)
    : RTCDesktopCapturer(nullptr, std::move(delegate), std::move(captureDelegate)) {}

RTCDesktopCapturer::~RTCDesktopCapturer() { stopFrames(); }

void RTCDesktopCapturer::startCaptureWithFPS(long fps) {
  {
    std::lock_guard lock(mutex_);
    if (running_) return;
    running_ = true;
    fps_ = fps;
  }
  {
    auto& model = webrtc_model::desktopModel();
    std::lock_guard lock(model.mutex);
    std::erase_if(model.running_capturers, [](const auto& entry) { return entry.expired(); });
    model.running_capturers.push_back(weak_from_this());
  }
  startFrames(fps);
  notify(&RTCDesktopCapturerDelegate::didStartSourceCapture);
}

void RTCDesktopCapturer::stopCapture() {
  {
    std::lock_guard lock(mutex_);
    if (!running_) return;
    running_ = false;
  }
  {
    auto& model = webrtc_model::desktopModel();
    std::lock_guard lock(model.mutex);
    std::erase_if(model.running_capturers, [this](const auto& entry) {
      auto capturer = entry.lock();
      return !capturer || capturer.get() == this;
    });
  }
  stopFrames();
  notify(&RTCDesktopCapturerDelegate::didStopSourceCapture);
}

void RTCDesktopCapturer::startFrames(long fps) {
  auto& model = webrtc_model::desktopModel();
  {
    std::lock_guard lock(model.mutex);
    if (model.hold_frames) return;
  }
  const long rate = std::clamp(fps, 1L, kMostFramesPerSecond);
  auto timer =
      dispatch_source_create(DISPATCH_SOURCE_TYPE_TIMER, 0, 0,
                             dispatch_queue_create("webrtc.desktop.frames", DISPATCH_QUEUE_SERIAL));
  // The timer holds the capturer weakly, so that dropping the capturer ends it.
  std::weak_ptr<RTCDesktopCapturer> weak = weak_from_this();
  auto picture = std::make_shared<Picture>();
  dispatch_source_set_event_handler(timer, [weak, picture] {
    if (auto self = weak.lock()) self->captureFrame(*picture);
  });
  dispatch_source_set_timer(timer, dispatch_time(DISPATCH_TIME_NOW, 0),
                            static_cast<uint64_t>(NSEC_PER_SEC / rate), 0);
  {
    std::lock_guard lock(mutex_);
    // A stop that came first leaves no timer behind.
    if (!running_) return;
    frame_timer_ = timer;
    ++model.frame_timers;
  }
  dispatch_resume(timer);
}

void RTCDesktopCapturer::stopFrames() {
  dispatch_source_t timer;
  {
    std::lock_guard lock(mutex_);
    timer = std::exchange(frame_timer_, nullptr);
    if (!timer) return;
    --webrtc_model::desktopModel().frame_timers;
  }
  dispatch_source_cancel(timer);
}

void RTCDesktopCapturer::captureFrame(Picture& last) {
  if (!isRunning()) return;
  auto image = pictureOf(source_);
  if (!image) return;
  // The desktop's pictures are replaced, never drawn into, so one conversion serves each.
  if (image != last.image) {
    last.buffer = toPixelBuffer(*image);
    last.image = image;
  }
  if (!last.buffer) return;
  auto delegate = this->delegate();
  if (!delegate) return;
  auto frame = std::make_shared<RTCVideoFrame>(std::make_shared<RTCCVPixelBuffer>(last.buffer),
                                               RTCVideoRotation_0, hostTimeNs());
  delegate->capturer(*this, frame);
}

bool RTCDesktopCapturer::isRunning() const {
  std::lock_guard lock(mutex_);
  return running_;
}

long RTCDesktopCapturer::fps() const {
  std::lock_guard lock(mutex_);
  return fps_;
}

void RTCDesktopCapturer::notify(void (RTCDesktopCapturerDelegate::*callback)(RTCDesktopCapturer&)) {
  auto delegate = capturer_delegate_.lock();
  if (!delegate) return;
  auto self = shared_from_this();
  dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
                 [self, delegate, callback] { ((*delegate).*callback)(*self); });
}
