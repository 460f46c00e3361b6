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
#include <vector>

#include "platform/avfoundation/av_player_item_output.h"
#include "platform/avfoundation/cm_time.h"
#include "platform/avfoundation/cv_pixel_buffer.h"

namespace avfoundation::internal {
class MediaVideoFeed;
}

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
  friend struct AVPlayerItemVideoOutputModel;
  struct Frame {
    CMTime time;
    CVPixelBufferRef buffer;
    uint64_t serial;
  };
  // The last frame at or before `itemTime`, or null; called with mutex_ held.
  const Frame* frameFor(CMTime itemTime) const;
  // Added to a library-backed item: frames come from decoding its file.
  void attachmentChanged() override;
  void deliverDecodedFrame(CMTime time, CVPixelBufferRef buffer, CMTime itemTime);
  int framesAfter(CMTime itemTime) const;
  void discardFrames();

  const AVOutputSettings settings_;
  mutable std::mutex mutex_;
  std::vector<Frame> frames_;
  uint64_t next_serial_ = 1;
  uint64_t handed_out_serial_ = 0;
  // Guards feed_, which is made and dropped on the main thread; a feed's thread reads the frames
  // under mutex_ only.
  std::mutex feed_mutex_;
  std::unique_ptr<avfoundation::internal::MediaVideoFeed> feed_;
};
