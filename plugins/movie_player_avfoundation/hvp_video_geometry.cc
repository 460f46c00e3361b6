#include "plugins/movie_player_avfoundation/hvp_video_geometry.h"

#include <cmath>
#include <limits>

#include "platform/foundation/ns_log.h"

namespace movie_player_avfoundation {

int64_t HVPMillisFromTime(CMTime time) {
  constexpr uint32_t kValidAndIndefinite = kCMTimeFlags_Valid | kCMTimeFlags_Indefinite;
  if ((time.flags & kValidAndIndefinite) == kValidAndIndefinite) return kIndefiniteMillis;
  if (time.timescale == 0) return 0;
  __int128 millis = static_cast<__int128>(time.value) * 1000 / time.timescale;
  if (millis > std::numeric_limits<int64_t>::max()) return std::numeric_limits<int64_t>::max();
  if (millis < std::numeric_limits<int64_t>::min()) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(millis);
}

CGAffineTransform HVPNormalizedTransform(CGAffineTransform t, CGSize size) {
  struct Case {
    CGFloat a, b, c, d;
    CGFloat tx, ty;
  };
  const CGFloat w = size.width, h = size.height;
  const Case cases[] = {
      {1, 0, 0, 1, 0, 0},  {-1, 0, 0, -1, w, h}, {0, -1, 1, 0, 0, w},  {0, 1, -1, 0, h, 0},
      {-1, 0, 0, 1, w, 0}, {1, 0, 0, -1, 0, h},  {0, -1, -1, 0, h, w}, {0, 1, 1, 0, 0, 0},
  };
  for (const auto& match : cases) {
    if (t.a == match.a && t.b == match.b && t.c == match.c && t.d == match.d) {
      t.tx = match.tx;
      t.ty = match.ty;
      return t;
    }
  }
  return t;
}

long HVPRotationDegrees(CGAffineTransform transform) {
  float radians = static_cast<float>(std::atan2(transform.b, transform.a));
  double degrees = static_cast<float>(radians * 57.29577951308232);
  if (degrees < 0) degrees += 360;
  return std::lround(degrees);
}

AVMutableVideoComposition HVPVideoCompositionWithTransform(CGAffineTransform transform,
                                                           CMTime assetDuration,
                                                           const AVAssetTrack* videoTrack) {
  CMPersistentTrackID trackID = videoTrack != nullptr ? videoTrack->trackID() : 0;
  auto layer =
      AVMutableVideoCompositionLayerInstruction::videoCompositionLayerInstructionWithAssetTrack(
          trackID);
  layer.setTransform(transform, kCMTimeZero);
  AVMutableVideoCompositionInstruction instruction;
  instruction.timeRange = CMTimeRangeMake(kCMTimeZero, assetDuration);
  instruction.layerInstructions.push_back(std::move(layer));

  AVMutableVideoComposition composition;
  composition.instructions.push_back(std::move(instruction));
  CGSize size = videoTrack != nullptr ? videoTrack->naturalSize() : CGSize{};
  long rotation = HVPRotationDegrees(transform);
  if (rotation == 90 || rotation == 270) std::swap(size.width, size.height);
  composition.renderSize = size;
  composition.sourceTrackIDForFrameTiming = trackID;
  if (videoTrack != nullptr && CMTIME_IS_VALID(videoTrack->minFrameDuration())) {
    composition.frameDuration = videoTrack->minFrameDuration();
  } else {
    NSLog("Warning: videoTrack.minFrameDuration for input video is invalid, please report this to "
          "https://issues.velmora.dev/desktop-host with input video attached.");
    composition.frameDuration = CMTimeMake(1, 30);
  }
  return composition;
}

}  // namespace movie_player_avfoundation
