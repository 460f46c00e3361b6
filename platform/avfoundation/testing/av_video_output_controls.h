// Test controls for video delivery: the frames a video output decodes and the refreshes of
// CoreVideo's display links.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/avfoundation/av_player_item.h"
#include "platform/avfoundation/av_player_item_video_output.h"

namespace avfoundation::testing {

// The item's first video output; null when it has none.
std::shared_ptr<AVPlayerItemVideoOutput> videoOutputOf(const AVPlayerItem& item);
// The output has decoded `buffer` as the frame for `itemTime`.
void pushVideoFrame(AVPlayerItemVideoOutput& output, CMTime itemTime, CVPixelBufferRef buffer);
// The frames the output holds, handed out or not.
int heldVideoFrameCount(AVPlayerItemVideoOutput& output);
// The bytes of the pictures the output and its decoder hold, as the player counts them.
size_t heldVideoBytes(AVPlayerItemVideoOutput& output);

// Pixel buffers of more than `bytes` cannot be allocated, as in a limited address space; nullopt
// lifts the limit (the default).
void limitPixelBufferStorage(std::optional<size_t> bytes);

// One refresh of the displays: every running link calls its callback once, on its own thread;
// returns when they all have. Answers how many links ticked.
int tickDisplayLinks();
// While held, running links tick only through tickDisplayLinks instead of on their own at the
// refresh period. Not held at launch.
void holdDisplayLinkRefresh(bool held);
// The refresh period the links report, as `period` units of `timeScale` (1/60 s by default).
void setDisplayLinkRefreshPeriod(int64_t period, int32_t timeScale);
// The next CVDisplayLinkCreateWithActiveCGDisplays fails.
void failNextDisplayLinkCreation();
// The links alive, and those of them running.
int liveDisplayLinkCount();
int runningDisplayLinkCount();

}  // namespace avfoundation::testing
