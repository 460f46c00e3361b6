// Captures a screen or a window into a video capturer delegate. Start, pause, stop and errors are
// reported to the capturer's own delegate on a thread of the framework. A running capturer
// delivers the desktop's picture of its source (32BGRA) on its own, at its frame rate (1 to 60
// frames a second), from a timer of its own; stopping or dropping the capturer ends the timer.
#pragma once

#include <memory>
#include <mutex>

#include "platform/avfoundation/cv_pixel_buffer.h"
#include "platform/dispatch/dispatch.h"
#include "platform/webrtc/ns_image.h"
#include "platform/webrtc/rtc_desktop_source.h"
#include "platform/webrtc/rtc_video_capturer.h"

class RTCDesktopCapturer;

class RTCDesktopCapturerDelegate {
 public:
  virtual ~RTCDesktopCapturerDelegate() = default;
  virtual void didStartSourceCapture(RTCDesktopCapturer& capturer) = 0;
  virtual void didPauseSourceCapture(RTCDesktopCapturer& capturer) = 0;
  virtual void didStopSourceCapture(RTCDesktopCapturer& capturer) = 0;
  virtual void didFailSourceCapture(RTCDesktopCapturer& capturer) = 0;
};

class RTCDesktopCapturer : public RTCVideoCapturer,
                           public std::enable_shared_from_this<RTCDesktopCapturer> {
 public:
  // Captures `source`.
  RTCDesktopCapturer(std::shared_ptr<RTCDesktopSource> source,
                     std::weak_ptr<RTCDesktopCapturerDelegate> delegate,
                     std::weak_ptr<RTCVideoCapturerDelegate> captureDelegate);
  // Captures the default screen.
  RTCDesktopCapturer(std::weak_ptr<RTCDesktopCapturerDelegate> delegate,
                     std::weak_ptr<RTCVideoCapturerDelegate> captureDelegate);
  ~RTCDesktopCapturer() override;

  // Null when capturing the default screen.
  const std::shared_ptr<RTCDesktopSource>& source() const { return source_; }
  void startCaptureWithFPS(long fps);
  void stopCapture();
  bool isRunning() const;
  long fps() const;

 private:
  friend class RTCDesktopCapturerControl;
  void notify(void (RTCDesktopCapturerDelegate::*callback)(RTCDesktopCapturer&));
  // Starts the capturer's own frames, unless the desktop model holds them.
  void startFrames(long fps);
  void stopFrames();
  // The last picture of the source and its pixel buffer; one per timer, used on its queue.
  struct Picture {
    std::shared_ptr<webrtc::NSImage> image;
    CVPixelBufferRef buffer;
  };
  // One frame of the source's current picture; nothing while it shows nothing.
  void captureFrame(Picture& last);

  std::shared_ptr<RTCDesktopSource> source_;
  std::weak_ptr<RTCDesktopCapturerDelegate> capturer_delegate_;
  mutable std::mutex mutex_;
  bool running_ = false;
  long fps_ = 0;
  dispatch_source_t frame_timer_;
};
