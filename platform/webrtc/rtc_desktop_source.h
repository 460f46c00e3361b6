// A screen or window that can be shared, with its name and thumbnail.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "platform/webrtc/ns_image.h"

enum RTCDesktopSourceType : int {
  RTCDesktopSourceTypeScreen = 0,
  RTCDesktopSourceTypeWindow = 1,
};

class RTCDesktopSource {
 public:
  RTCDesktopSource(std::string sourceId, std::string name, RTCDesktopSourceType sourceType,
                   std::shared_ptr<webrtc::NSImage> thumbnail);
  RTCDesktopSource(const RTCDesktopSource&) = delete;
  RTCDesktopSource& operator=(const RTCDesktopSource&) = delete;

  const std::string& sourceId() const { return source_id_; }
  std::string name() const;
  RTCDesktopSourceType sourceType() const { return source_type_; }
  // The last rendered thumbnail; null when none was rendered or the source shows nothing.
  std::shared_ptr<webrtc::NSImage> thumbnail() const;
  // Renders a fresh thumbnail and answers it (null when the source shows nothing).
  std::shared_ptr<webrtc::NSImage> UpdateThumbnail();

 private:
  friend class RTCDesktopMediaList;
  void setName(std::string name);
  void setThumbnail(std::shared_ptr<webrtc::NSImage> thumbnail);

  std::string source_id_;
  RTCDesktopSourceType source_type_;
  mutable std::mutex mutex_;
  std::string name_;
  std::shared_ptr<webrtc::NSImage> thumbnail_;
};
