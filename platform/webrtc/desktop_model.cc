#include "platform/webrtc/desktop_model.h"

namespace webrtc_model {
namespace {

std::shared_ptr<webrtc::NSImage> solidImage(double width, double height, uint8_t red, uint8_t green,
                                            uint8_t blue) {
  auto image = std::make_shared<webrtc::NSImage>(NSSize{width, height});
  uint8_t* pixel = image->bitmapData();
  for (size_t i = 0; i < image->pixelsWide() * image->pixelsHigh(); ++i, pixel += 4) {
    pixel[0] = red;
    pixel[1] = green;
    pixel[2] = blue;
    pixel[3] = 255;
  }
  return image;
}

}  // namespace

DesktopModel& desktopModel() {
  static auto* const model = [] {
    auto* created = new DesktopModel();
    created->entries = defaultDesktop();
    return created;
  }();
  return *model;
}

std::vector<DesktopEntry> defaultDesktop() {
  return {
      {RTCDesktopSourceTypeScreen, "1", "Screen 1", solidImage(384, 216, 30, 60, 90)},
      {RTCDesktopSourceTypeWindow, "101", "Editor", solidImage(320, 200, 200, 200, 200)},
      {RTCDesktopSourceTypeWindow, "102", "Terminal", solidImage(240, 160, 0, 0, 0)},
  };
}

std::optional<DesktopEntry> desktopEntry(const std::string& sourceId) {
  auto& model = desktopModel();
  std::lock_guard lock(model.mutex);
  for (const auto& entry : model.entries) {
    if (entry.id == sourceId) return entry;
  }
  return std::nullopt;
}

}  // namespace webrtc_model
