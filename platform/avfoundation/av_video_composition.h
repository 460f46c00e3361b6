// Video compositions: how an item's video tracks are drawn into its frames (one instruction per
// time range, each with a layer instruction per track, and the frame size and rate).
#pragma once

#include <vector>

#include "platform/avfoundation/av_media_format.h"
#include "platform/avfoundation/cm_time_range.h"
#include "platform/coregraphics/cg_affine_transform.h"

class AVMutableVideoCompositionLayerInstruction {
 public:
  struct TransformRamp {
    CGAffineTransform transform;
    CMTime time;
  };

  static AVMutableVideoCompositionLayerInstruction videoCompositionLayerInstructionWithAssetTrack(
      CMPersistentTrackID trackID) {
    return AVMutableVideoCompositionLayerInstruction(trackID);
  }

  CMPersistentTrackID trackID() const { return track_id_; }
  // The transform in force from `time` on.
  void setTransform(CGAffineTransform transform, CMTime time) {
    transforms_.push_back(TransformRamp{transform, time});
  }
  const std::vector<TransformRamp>& transforms() const { return transforms_; }

 private:
  explicit AVMutableVideoCompositionLayerInstruction(CMPersistentTrackID trackID)
      : track_id_(trackID) {}
  CMPersistentTrackID track_id_;
  std::vector<TransformRamp> transforms_;
};

struct AVMutableVideoCompositionInstruction {
  CMTimeRange timeRange = kCMTimeRangeInvalid;
  std::vector<AVMutableVideoCompositionLayerInstruction> layerInstructions;
};

struct AVMutableVideoComposition {
  std::vector<AVMutableVideoCompositionInstruction> instructions;
  CGSize renderSize;
  CMPersistentTrackID sourceTrackIDForFrameTiming = 0;
  CMTime frameDuration = kCMTimeInvalid;
};
