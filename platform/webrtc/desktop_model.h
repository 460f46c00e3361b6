// The desktop the framework model shows: screens and windows with names and images, the media
// lists that watch it and the desktop capturers that run on it.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/webrtc/ns_image.h"
#include "platform/webrtc/rtc_desktop_source.h"

class RTCDesktopMediaList;
class RTCDesktopCapturer;

namespace webrtc_model {

struct DesktopEntry {
  RTCDesktopSourceType type = RTCDesktopSourceTypeScreen;
  std::string id;
  std::string name;
  // Null: the source shows nothing (a minimised window, say).
  std::shared_ptr<webrtc::NSImage> image;
};

struct DesktopModel {
  std::mutex mutex;
  std::vector<DesktopEntry> entries;
  std::vector<std::weak_ptr<RTCDesktopMediaList>> lists;
  std::vector<std::weak_ptr<RTCDesktopCapturer>> running_capturers;
  // Capturers started while held deliver no frames of their own.
  bool hold_frames = false;
  // Counted without the model lock: a capturer may end its timer while another holds that lock.
  std::atomic<size_t> frame_timers{0};
};

DesktopModel& desktopModel();
// One 1920 x 1080 screen ("1") and two windows ("101", "102").
std::vector<DesktopEntry> defaultDesktop();
// The entry of a source, if the desktop still has it.
std::optional<DesktopEntry> desktopEntry(const std::string& sourceId);

}  // namespace webrtc_model
