#include "platform/webrtc/rtc_desktop_source.h"

#include "platform/webrtc/desktop_model.h"

RTCDesktopSource::RTCDesktopSource(std::string sourceId, std::string name,
                                   RTCDesktopSourceType sourceType,
                                   std::shared_ptr<webrtc::NSImage> thumbnail)
    : source_id_(std::move(sourceId)),
      source_type_(sourceType),
      name_(std::move(name)),
      thumbnail_(std::move(thumbnail)) {}

std::string RTCDesktopSource::name() const {
  std::lock_guard lock(mutex_);
  return name_;
}

std::shared_ptr<webrtc::NSImage> RTCDesktopSource::thumbnail() const {
  std::lock_guard lock(mutex_);
  return thumbnail_;
}

std::shared_ptr<webrtc::NSImage> RTCDesktopSource::UpdateThumbnail() {
  auto entry = webrtc_model::desktopEntry(source_id_);
  std::shared_ptr<webrtc::NSImage> image = entry ? entry->image : nullptr;
  setThumbnail(image);
  return image;
}

void RTCDesktopSource::setName(std::string name) {
  std::lock_guard lock(mutex_);
  name_ = std::move(name);
}

void RTCDesktopSource::setThumbnail(std::shared_ptr<webrtc::NSImage> thumbnail) {
  std::lock_guard lock(mutex_);
  thumbnail_ = std::move(thumbnail);
}
