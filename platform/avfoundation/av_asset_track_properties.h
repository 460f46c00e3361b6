// What describes one track of an asset: what probing a file finds and what the track answers.
// Free of the AVMediaType name (FFmpeg's headers declare their own), so that the prober fills it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/avfoundation/av_media_types.h"
#include "platform/avfoundation/cm_time.h"
#include "platform/coregraphics/cg_affine_transform.h"

struct AVAssetTrackProperties {
  int32_t trackID = 0;  // a CMPersistentTrackID
  // An AVMediaType: AVMediaTypeVideo or AVMediaTypeAudio.
  std::string mediaType = AVMediaTypeVideo;
  CGSize naturalSize;
  CGAffineTransform preferredTransform = CGAffineTransformIdentity;
  CMTime minFrameDuration = kCMTimeInvalid;
  float nominalFrameRate = 0;
  // Bits per second; 0 when unknown.
  float estimatedDataRate = 0;
  // ISO 639-2 code; empty when the track names none.
  std::string languageCode;
  // The FourCC of the track's format, for example 'avc1'; 0 when unknown.
  uint32_t codecType = 0;
};
