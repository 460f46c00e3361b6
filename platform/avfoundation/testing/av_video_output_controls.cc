#include "platform/avfoundation/testing/av_video_output_controls.h"

#include "platform/avfoundation/cv_display_link.h"
#include "platform/avfoundation/cv_display_link_registry.h"
#include "platform/avfoundation/internal/library_access.h"
#include "platform/avfoundation/internal/pixel_storage.h"
#include "platform/avfoundation/internal/video_frame_queue.h"

struct CVDisplayLinkModel {
  // Asks the link's thread for one refresh and waits for it; false when the link is not running.
  static bool tick(CVDisplayLink& link) {
    std::unique_lock lock(link.mutex_);
    if (!link.running_) return false;
    uint64_t wanted = ++link.ticks_requested_;
    link.changed_.notify_all();
    link.changed_.wait(lock, [&] { return link.ticks_delivered_ >= wanted || !link.running_; });
    return true;
  }
  // Lets the link's thread see a changed hold.
  static void wake(CVDisplayLink& link) {
    std::lock_guard lock(link.mutex_);
    link.changed_.notify_all();
  }
  static bool isRunning(CVDisplayLink& link) {
    std::lock_guard lock(link.mutex_);
    return link.running_;
  }
};

namespace avfoundation::testing {

void limitPixelBufferStorage(std::optional<size_t> bytes) {
  internal::setPixelStorageCeiling(bytes);
}

bool modelChosenForControls();
namespace {
// Linking these controls means tests drive the media: the model backs new assets.
[[maybe_unused]] const bool kModelChosen = modelChosenForControls();
}  // namespace

std::shared_ptr<AVPlayerItemVideoOutput> videoOutputOf(const AVPlayerItem& item) {
  for (const auto& output : item.outputs()) {
    if (auto video = std::dynamic_pointer_cast<AVPlayerItemVideoOutput>(output)) return video;
  }
  return nullptr;
}

void pushVideoFrame(AVPlayerItemVideoOutput& output, CMTime itemTime, CVPixelBufferRef buffer) {
  // Pushed frames are all kept until handed out, whatever the item's time.
  internal::LibraryAccess::frames(output)->add(itemTime, std::move(buffer), kCMTimeInvalid);
}

int heldVideoFrameCount(AVPlayerItemVideoOutput& output) {
  return internal::LibraryAccess::frames(output)->count();
}

size_t heldVideoBytes(AVPlayerItemVideoOutput& output) {
  return internal::LibraryAccess::frames(output)->bytes();
}

int tickDisplayLinks() {
  int ticked = 0;
  CVDisplayLinkRegistry::shared().forEach([&](CVDisplayLink& link) {
    if (CVDisplayLinkModel::tick(link)) ++ticked;
  });
  return ticked;
}

void holdDisplayLinkRefresh(bool held) {
  CVDisplayLinkRegistry::shared().refreshHeld() = held;
  CVDisplayLinkRegistry::shared().forEach(
      [](CVDisplayLink& link) { CVDisplayLinkModel::wake(link); });
}

void setDisplayLinkRefreshPeriod(int64_t period, int32_t timeScale) {
  CVDisplayLinkRegistry::shared().setRefreshPeriod(period, timeScale);
}

void failNextDisplayLinkCreation() { CVDisplayLinkRegistry::shared().failNextCreation() = true; }

int liveDisplayLinkCount() {
  int count = 0;
  CVDisplayLinkRegistry::shared().forEach([&](CVDisplayLink&) { ++count; });
  return count;
}

int runningDisplayLinkCount() {
  int count = 0;
  CVDisplayLinkRegistry::shared().forEach([&](CVDisplayLink& link) {
    if (CVDisplayLinkModel::isRunning(link)) ++count;
  });
  return count;
}

}  // namespace avfoundation::testing
