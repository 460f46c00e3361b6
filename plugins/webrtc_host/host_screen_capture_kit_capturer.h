// Captures one display with ScreenCaptureKit and hands every screen frame to a video capturer
// delegate. Frames arrive on a serial capture queue; start and stop complete on the framework's
// threads. A stop that arrives while a start is pending leaves no capture running.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/dispatch/dispatch.h"
#include "platform/screencapturekit/sc_stream.h"
#include "platform/webrtc/rtc_video_capturer.h"

namespace webrtc_host {

inline constexpr const char* kScreenCaptureKitErrorDomain = "FlutterScreenCaptureKit";

class HostScreenCaptureKitCapturer
    : public SCStreamOutput,
      public std::enable_shared_from_this<HostScreenCaptureKitCapturer> {
 public:
  using StartHandler = std::function<void(std::optional<NSError> error)>;

  explicit HostScreenCaptureKitCapturer(std::weak_ptr<RTCVideoCapturerDelegate> delegate);

  // The handler is called exactly once, with the failure or with nothing once capture runs.
  void startCaptureWithFPS(long fps, const std::optional<std::string>& sourceId,
                           StartHandler onStarted);
  void stopCaptureWithCompletion(std::function<void()> completion);

  // The display whose id (in decimal) is the source id, else the main display, else the first.
  static std::optional<SCDisplay> selectDisplayFromContent(
      const SCShareableContent& content, const std::optional<std::string>& sourceId);

  void stream(SCStream& stream, const CMSampleBufferRef& sampleBuffer,
              SCStreamOutputType type) override;

 private:
  void startWithContent(const SCShareableContent& content, long fps,
                        const std::optional<std::string>& sourceId, uint64_t generation,
                        const StartHandler& onStarted);

  std::shared_ptr<RTCVideoCapturer> capturer_;
  std::weak_ptr<RTCVideoCapturerDelegate> delegate_;
  dispatch_queue_t capture_queue_;
  std::mutex mutex_;
  std::shared_ptr<SCStream> stream_;
  // Counts stops, so that a start that began before a stop never starts a stream.
  uint64_t generation_ = 0;
};

}  // namespace webrtc_host
