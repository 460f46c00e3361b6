// The player's conversions: media times to milliseconds, a track's preferred transform to one
// that keeps the picture in view, and the video composition that applies it.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/avfoundation/avfoundation.h"

namespace movie_player_avfoundation {

// The most negative int64 plus one: how an indefinite time crosses the channels.
inline constexpr int64_t kIndefiniteMillis = -9223372036854775807LL;

// value × 1000 / timescale, truncated toward zero; an indefinite time gives kIndefiniteMillis, a
// zero timescale 0. Results beyond the int64 range saturate.
int64_t HVPMillisFromTime(CMTime time);

// The transform with its translation replaced so that an axis-aligned rotation or flip of a
// picture of `naturalSize` stays in the positive quadrant; any other matrix is unchanged.
CGAffineTransform HVPNormalizedTransform(CGAffineTransform transform, CGSize naturalSize);

// The rotation of the transform in whole degrees in [0, 360], rounded half away from zero.
long HVPRotationDegrees(CGAffineTransform transform);

// One instruction over [0, assetDuration) with the track's transform, sized for the rotation.
// Without a valid minimum frame duration (or without a track) the frame duration is 1/30 s and a
// warning is logged.
AVMutableVideoComposition HVPVideoCompositionWithTransform(CGAffineTransform transform,
                                                           CMTime assetDuration,
                                                           const AVAssetTrack* videoTrack);

}  // namespace movie_player_avfoundation
