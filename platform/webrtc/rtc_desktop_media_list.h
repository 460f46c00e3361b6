// The screens or the windows of the desktop, kept up to date on request; changes found by an
// update are reported to the delegate on the updating thread.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/webrtc/rtc_desktop_source.h"

class RTCDesktopMediaListDelegate {
 public:
  virtual ~RTCDesktopMediaListDelegate() = default;
  virtual void didAddDesktopSource(const std::shared_ptr<RTCDesktopSource>& source) = 0;
  virtual void didRemoveDesktopSource(const std::shared_ptr<RTCDesktopSource>& source) = 0;
  virtual void didChangeDesktopSourceName(const std::shared_ptr<RTCDesktopSource>& source) = 0;
  virtual void didChangeDesktopSourceThumbnail(
      const std::shared_ptr<RTCDesktopSource>& source) = 0;
};

class RTCDesktopMediaList : public std::enable_shared_from_this<RTCDesktopMediaList> {
 public:
  RTCDesktopMediaList(RTCDesktopSourceType type,
                      std::weak_ptr<RTCDesktopMediaListDelegate> delegate);
  RTCDesktopMediaList(const RTCDesktopMediaList&) = delete;
  RTCDesktopMediaList& operator=(const RTCDesktopMediaList&) = delete;

  RTCDesktopSourceType type() const { return type_; }
  // Reads the desktop again and answers the number of sources. A forced reload starts the list
  // afresh (silently); otherwise additions, removals and renames, and with
  // `updateAllThumbnails` changed thumbnails, are reported.
  int32_t UpdateSourceList(bool forceReload, bool updateAllThumbnails);
  std::vector<std::shared_ptr<RTCDesktopSource>> getSources() const;

 private:
  RTCDesktopSourceType type_;
  std::weak_ptr<RTCDesktopMediaListDelegate> delegate_;
  mutable std::mutex mutex_;
  bool loaded_ = false;
  bool registered_ = false;
  std::vector<std::shared_ptr<RTCDesktopSource>> sources_;
};
