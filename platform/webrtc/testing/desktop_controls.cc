#include "platform/webrtc/testing/desktop_controls.h"
#include "platform/webrtc/testing/bounded_wait.h"

#include <algorithm>

#include "platform/dispatch/dispatch.h"
#include "platform/webrtc/desktop_model.h"
#include "platform/webrtc/rtc_cv_pixel_buffer.h"
#include "platform/webrtc/rtc_desktop_media_list.h"

namespace webrtc::testing {
namespace {

using webrtc_model::desktopModel;

void runOnFrameworkThread(const std::function<void()>& block) {
  runOnQueueAndWait(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), block,
                    "a desktop change on the framework's thread");
}

webrtc_model::DesktopEntry toEntry(DesktopSourceSpec spec) {
  return webrtc_model::DesktopEntry{spec.type, std::move(spec.id), std::move(spec.name),
                                    std::move(spec.image)};
}

template <typename Change>
void changeEntry(const std::string& sourceId, Change change) {
  std::lock_guard lock(desktopModel().mutex);
  for (auto& entry : desktopModel().entries) {
    if (entry.id == sourceId) change(entry);
  }
}

}  // namespace

std::shared_ptr<webrtc::NSImage> solidImage(double width, double height, uint8_t red, uint8_t green,
                                            uint8_t blue, uint8_t alpha) {
  auto image = std::make_shared<webrtc::NSImage>(NSSize{width, height});
  uint8_t* pixel = image->bitmapData();
  for (size_t i = 0; i < image->pixelsWide() * image->pixelsHigh(); ++i, pixel += 4) {
    pixel[0] = red;
    pixel[1] = green;
    pixel[2] = blue;
    pixel[3] = alpha;
  }
  return image;
}

void setDesktopSources(std::vector<DesktopSourceSpec> sources) {
  std::lock_guard lock(desktopModel().mutex);
  desktopModel().entries.clear();
  for (auto& source : sources) desktopModel().entries.push_back(toEntry(std::move(source)));
}

void addDesktopSource(DesktopSourceSpec source) {
  std::lock_guard lock(desktopModel().mutex);
  desktopModel().entries.push_back(toEntry(std::move(source)));
}

void removeDesktopSource(const std::string& sourceId) {
  std::lock_guard lock(desktopModel().mutex);
  std::erase_if(desktopModel().entries,
                [&](const webrtc_model::DesktopEntry& entry) { return entry.id == sourceId; });
}

void renameDesktopSource(const std::string& sourceId, const std::string& name) {
  changeEntry(sourceId, [&](webrtc_model::DesktopEntry& entry) { entry.name = name; });
}

void changeDesktopImage(const std::string& sourceId, std::shared_ptr<webrtc::NSImage> image) {
  changeEntry(sourceId, [&](webrtc_model::DesktopEntry& entry) { entry.image = image; });
}

void refreshDesktopMediaLists() {
  std::vector<std::shared_ptr<RTCDesktopMediaList>> lists;
  {
    std::lock_guard lock(desktopModel().mutex);
    for (const auto& entry : desktopModel().lists) {
      if (auto list = entry.lock()) lists.push_back(std::move(list));
    }
  }
  runOnFrameworkThread([&lists] {
    for (const auto& list : lists) list->UpdateSourceList(false, true);
  });
}

std::vector<std::shared_ptr<RTCDesktopCapturer>> runningDesktopCapturers() {
  std::lock_guard lock(desktopModel().mutex);
  std::vector<std::shared_ptr<RTCDesktopCapturer>> capturers;
  for (const auto& entry : desktopModel().running_capturers) {
    if (auto capturer = entry.lock()) capturers.push_back(std::move(capturer));
  }
  return capturers;
}

void deliverDesktopFrame(RTCDesktopCapturer& capturer, CVPixelBufferRef image,
                         int64_t timeStampNs) {
  auto frame = std::make_shared<RTCVideoFrame>(std::make_shared<RTCCVPixelBuffer>(std::move(image)),
                                               RTCVideoRotation_0, timeStampNs);
  runOnFrameworkThread([&capturer, frame] {
    if (auto delegate = capturer.delegate()) delegate->capturer(capturer, frame);
  });
}

void holdDesktopFrames(bool hold) {
  std::lock_guard lock(desktopModel().mutex);
  desktopModel().hold_frames = hold;
}

size_t desktopFrameTimerCount() { return desktopModel().frame_timers.load(); }

void resetDesktop() {
  std::lock_guard lock(desktopModel().mutex);
  desktopModel().hold_frames = false;
  desktopModel().entries = webrtc_model::defaultDesktop();
  desktopModel().lists.clear();
  desktopModel().running_capturers.clear();
}

}  // namespace webrtc::testing
