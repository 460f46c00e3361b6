// One track of an asset. Its properties load on demand like the asset's (key
// "preferredTransform", for instance); the stand-in's values are fixed when the track is made.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/avfoundation/av_asset_track_properties.h"
#include "platform/avfoundation/av_asynchronous_key_value_loading.h"
#include "platform/avfoundation/av_media_format.h"

class AVAssetTrack : public AVAsynchronousKeyValueLoading {
 public:
  explicit AVAssetTrack(AVAssetTrackProperties properties) : properties_(std::move(properties)) {}

  CMPersistentTrackID trackID() const { return properties_.trackID; }
  const std::string& mediaType() const { return properties_.mediaType; }
  CGSize naturalSize() const { return properties_.naturalSize; }
  CGAffineTransform preferredTransform() const { return properties_.preferredTransform; }
  CMTime minFrameDuration() const { return properties_.minFrameDuration; }
  float nominalFrameRate() const { return properties_.nominalFrameRate; }
  float estimatedDataRate() const { return properties_.estimatedDataRate; }
  const std::string& languageCode() const { return properties_.languageCode; }
  uint32_t codecType() const { return properties_.codecType; }
  // Cancels the track's loads in progress, as its asset's cancelLoading does.
  void cancelLoading() { cancelPendingLoads(); }

 private:
  friend class AVURLAsset;
  const AVAssetTrackProperties properties_;
};
