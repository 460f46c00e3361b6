#include "platform/webrtc/rtc_desktop_capturer.h"

#include <algorithm>

#include "platform/dispatch/dispatch.h"
#include "platform/webrtc/desktop_model.h"

RTCDesktopCapturer::RTCDesktopCapturer(std::shared_ptr<RTCDesktopSource> source,
                                       std::weak_ptr<RTCDesktopCapturerDelegate> delegate,
                                       std::weak_ptr<RTCVideoCapturerDelegate> captureDelegate)
    : RTCVideoCapturer(std::move(captureDelegate)),
      source_(std::move(source)),
      capturer_delegate_(std::move(delegate)) {}

RTCDesktopCapturer::RTCDesktopCapturer(std::weak_ptr<RTCDesktopCapturerDelegate> delegate,
                                       std::weak_ptr<RTCVideoCapturerDelegate> captureDelegate)
    : RTCDesktopCapturer(nullptr, std::move(delegate), std::move(captureDelegate)) {}

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
  notify(&RTCDesktopCapturerDelegate::didSourceCaptureStart);
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
  notify(&RTCDesktopCapturerDelegate::didSourceCaptureStop);
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
