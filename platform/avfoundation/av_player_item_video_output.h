// An output that hands out an item's decoded video frames as pixel buffers, for the item time
// that a host time maps to: the item's current time moved on by its timebase rate (the player's
// rate while it plays). Frames are the ones decoded or pushed with their item times. Safe from
// any thread.
#pragma once

#include <any>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/avfoundation/av_player_item_output.h"
#include "platform/avfoundation/cm_time.h"
#include "platform/avfoundation/cv_pixel_buffer.h"

namespace avfoundation::internal {
class MediaVideoFeed;
class VideoFrameQueue;
struct LibraryAccess;
}  // namespace avfoundation::internal

using AVOutputSettings = std::map<std::string, std::any>;

class AVPlayerItemVideoOutput : public AVPlayerItemOutput {
 public:
  // initWithOutputSettings: (pixel-buffer attribute and video-setting keys).
  explicit AVPlayerItemVideoOutput(AVOutputSettings outputSettings);
  ~AVPlayerItemVideoOutput() override;

  const AVOutputSettings& outputSettings() const { return settings_; }

  // The invalid time while the output belongs to no item.
  CMTime itemTimeForHostTime(double hostTimeInSeconds) const;
  // Whether the frame to show at `itemTime` differs from the last one handed out.
  bool hasNewPixelBufferForItemTime(CMTime itemTime) const;
  // The frame to show at `itemTime` (null when there is none); earlier frames are dropped.
  // `itemTimeForDisplay` receives the frame's own time when given.
  CVPixelBufferRef copyPixelBufferForItemTime(CMTime itemTime, CMTime* itemTimeForDisplay);

 private:
  friend struct avfoundation::internal::LibraryAccess;
  // Added to a library-backed item (or its file opened): frames come from decoding it.
  void attachmentChanged() override;
  void stopDecoding();
  // How often the attached item's time was moved by a seek.
  uint64_t itemMoves() const;

  const AVOutputSettings settings_;
  const std::shared_ptr<avfoundation::internal::VideoFrameQueue> frames_;
  // Made and dropped on the main thread; its steps deliver into frames_ only.
  std::mutex feed_mutex_;
  std::shared_ptr<avfoundation::internal::MediaVideoFeed> feed_;
};
