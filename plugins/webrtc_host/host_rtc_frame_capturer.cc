#include "plugins/webrtc_host/host_rtc_frame_capturer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/ns_log.h"
#include "platform/webrtc/ci_image.h"
#include "platform/webrtc/ns_bitmap_image_rep.h"
#include "platform/webrtc/rtc_cv_pixel_buffer.h"
#include "plugins/webrtc_host/i420_pixel_buffer_writer.h"

namespace webrtc_host {
namespace {

webrtc::CGImagePropertyOrientation orientationFor(int rotation) {
  switch (rotation) {
    case 90:
      return webrtc::kCGImagePropertyOrientationRight;
    case 270:
      return webrtc::kCGImagePropertyOrientationLeft;
    case 180:
      return webrtc::kCGImagePropertyOrientationDown;
    default:
      return webrtc::kCGImagePropertyOrientationUp;
  }
}

std::optional<std::vector<uint8_t>> encodeUpright(const RTCVideoFrame& frame,
                                                  const std::string& path) {
  CVPixelBufferRef pixel_buffer;
  if (auto* wrapped = dynamic_cast<const RTCCVPixelBuffer*>(frame.buffer().get())) {
    pixel_buffer = wrapped->pixelBuffer();
  } else {
    pixel_buffer = HostRTCFrameCapturer::convertToCVPixelBuffer(frame);
  }
  auto image = webrtc::CIImage::imageWithCVPixelBuffer(pixel_buffer);
  if (!image) return std::nullopt;
  const int rotation = frame.rotation();
  if (rotation == 90 || rotation == 270 || rotation == 180) {
    image = image->imageByApplyingCGOrientation(orientationFor(rotation));
  }
  const auto [width, height] = rotatedSize(frame.width(), frame.height(), rotation);
  const CGSize size{double(width), double(height)};
  webrtc::NSBitmapImageRep bitmap(*image, CGRect{CGPointZero, size});
  bitmap.setSize(size);
  const bool jpeg = std::filesystem::path(path).extension() == ".jpg";
  return bitmap.representationUsingType(
      jpeg ? webrtc::NSBitmapImageFileTypeJPEG : webrtc::NSBitmapImageFileTypePNG, 1.0);
}

enum class WriteOutcome { kWritten, kNotRegular, kFailed };

// Writes only a regular file, and never waits to open one: the frame thread must not stop on a
// FIFO nobody reads, and a device or a directory is not an image file.
WriteOutcome writeRegularFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
    return WriteOutcome::kNotRegular;
  }
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) {
    // What replaced the file since it was looked at: a directory, or a FIFO nobody reads.
    return errno == EISDIR || errno == ENXIO ? WriteOutcome::kNotRegular : WriteOutcome::kFailed;
  }
  const auto close_fd = [fd](WriteOutcome outcome) {
    if (::close(fd) != 0 && outcome == WriteOutcome::kWritten) return WriteOutcome::kFailed;
    return outcome;
  };
  if (::fstat(fd, &status) != 0) return close_fd(WriteOutcome::kFailed);
  if (!S_ISREG(status.st_mode)) return close_fd(WriteOutcome::kNotRegular);
  if (::ftruncate(fd, 0) != 0) return close_fd(WriteOutcome::kFailed);
  for (size_t written = 0; written < bytes.size();) {
    const ssize_t count = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return close_fd(WriteOutcome::kFailed);
    written += static_cast<size_t>(count);
  }
  return close_fd(WriteOutcome::kWritten);
}

}  // namespace

std::shared_ptr<HostRTCFrameCapturer> HostRTCFrameCapturer::initWithTrack(
    std::shared_ptr<RTCVideoTrack> track, std::string path, FlutterResult result, Finished finished,
    dispatch_queue_t saveQueue, std::chrono::milliseconds frameWait) {
  auto capturer = std::make_shared<HostRTCFrameCapturer>(track, std::move(path), std::move(result),
                                                         std::move(finished), std::move(saveQueue));
  if (track) track->addRenderer(capturer);
  std::weak_ptr<HostRTCFrameCapturer> weak = capturer;
  dispatch_after(
      dispatch_time(DISPATCH_TIME_NOW, std::chrono::nanoseconds(frameWait).count()),
      dispatch_get_main_queue(), [weak] {
        auto self = weak.lock();
        if (!self || self->got_frame_) return;
        self->abandon(FlutterError{"CaptureFrameFailed", "No frame arrived in time", nullptr});
      });
  return capturer;
}

HostRTCFrameCapturer::HostRTCFrameCapturer(std::shared_ptr<RTCVideoTrack> track, std::string path,
                                           FlutterResult result, Finished finished,
                                           dispatch_queue_t saveQueue)
    : track_(std::move(track)),
      track_id_(track_ ? track_->trackId() : std::string()),
      path_(std::move(path)),
      save_queue_(std::move(saveQueue)),
      result_(std::move(result)),
      finished_(std::move(finished)) {}

void HostRTCFrameCapturer::renderFrame(const std::shared_ptr<RTCVideoFrame>& frame) {
  if (!frame || got_frame_.exchange(true)) return;
  FlutterResult result;
  {
    std::lock_guard lock(mutex_);
    result = std::exchange(result_, FlutterResult());
  }
  // Abandoned already.
  if (!result) return;
  // The frame thread only takes the frame: encoding waits on the capture queue, so many
  // captures of one track neither hold up its video nor each other's first frame.
  auto self = shared_from_this();
  dispatch_async(dispatch_get_main_queue(), [self] { self->detach(); });
  dispatch_async(save_queue_,
                 [self, frame, result = std::move(result)] { self->save(*frame, result); });
}

void HostRTCFrameCapturer::save(const RTCVideoFrame& frame, const FlutterResult& result) const {
  const auto data = frame.buffer() ? encodeUpright(frame, path_) : std::nullopt;
  const auto directory = std::filesystem::path(path_).parent_path();
  std::error_code error;
  if (!directory.empty() && !std::filesystem::exists(directory, error)) {
    std::filesystem::create_directories(directory, error);
    if (error) {
      NSLog("[CaptureFrame] Failed to create directory: %s, error: %s", directory.c_str(),
            error.message().c_str());
    }
  }
  const auto outcome = data ? writeRegularFile(path_, *data) : WriteOutcome::kFailed;
  if (outcome == WriteOutcome::kWritten) {
    result(nullptr);
    return;
  }
  NSLog("[CaptureFrame] Failed to write file - imageData=%s, path=%s", data ? "not nil" : "nil",
        path_.c_str());
  result(FlutterError{"CaptureFrameFailed",
                      outcome == WriteOutcome::kNotRegular ? "The path does not name a regular file"
                                                           : "Failed to write image data to file",
                      nullptr});
}

void HostRTCFrameCapturer::abandon(const FlutterError& error) {
  got_frame_ = true;
  FlutterResult result;
  {
    std::lock_guard lock(mutex_);
    result = std::exchange(result_, FlutterResult());
  }
  if (result) result(error);
  detach();
}

void HostRTCFrameCapturer::detach() {
  std::shared_ptr<RTCVideoTrack> track;
  Finished finished;
  {
    std::lock_guard lock(mutex_);
    track = std::move(track_);
    finished = std::move(finished_);
  }
  if (track) track->removeRenderer(shared_from_this());
  if (finished) finished(*this);
}

CVPixelBufferRef HostRTCFrameCapturer::convertToCVPixelBuffer(const RTCVideoFrame& frame) {
  auto i420 = frame.buffer()->toI420();
  CVPixelBufferRef output;
  if (CVPixelBufferCreate(static_cast<size_t>(i420->width()), static_cast<size_t>(i420->height()),
                          kCVPixelFormatType_32BGRA, &output) != kCVReturnSuccess) {
    return nullptr;
  }
  writeI420ToPixelBuffer(*i420, *output);
  return output;
}

}  // namespace webrtc_host
