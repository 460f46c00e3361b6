// Test controls for assets and tracks: what they contain and when their keys finish loading.
// Completions of the loads a key finishes run on a background queue, as on the platform.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/avfoundation/av_asset.h"
#include "platform/avfoundation/av_url_asset.h"

namespace avfoundation::testing {

void setAssetDuration(AVAsset& asset, CMTime duration);
void setAssetTracks(AVAsset& asset, std::vector<std::shared_ptr<AVAssetTrack>> tracks);
void setMediaSelectionGroup(AVAsset& asset, const std::string& characteristic,
                            std::shared_ptr<const AVMediaSelectionGroup> group);
void setVariants(AVURLAsset& asset, std::vector<AVAssetVariant> variants);

// The key has loaded (or failed, or was cancelled) on the asset or the track.
void finishLoadingKey(AVAsynchronousKeyValueLoading& loading, const std::string& key);
void failLoadingKey(AVAsynchronousKeyValueLoading& loading, const std::string& key,
                    const NSError& error);
void cancelLoadingKey(AVAsynchronousKeyValueLoading& loading, const std::string& key);

}  // namespace avfoundation::testing
