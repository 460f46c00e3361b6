// The track lists a player answers: one record per variant of a stream, marked selected when its
// peak bit rate is within 10 % of the item's cap.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/avfoundation/av_asset_variant.h"
#include "plugins/movie_player_avfoundation/video_player_instance_messages.g.h"

namespace movie_player_avfoundation {

// "avc1", "hevc" or "vp9" for the FourCCs 'avc1', 'hvc1' and 'vp09'; nullopt for any other.
std::optional<std::string> codecStringFromFourCharCode(uint32_t fourCharCode);

// Bit rate, width and height become whole numbers and the frame rate stays a double when they are
// finite and above 0; otherwise they are absent.
HVPMediaSelectionVideoTrackData createVideoTrackData(int64_t index,
                                                     std::optional<std::string> label,
                                                     double peakBitRate, CGSize videoSize,
                                                     double frameRate,
                                                     std::optional<std::string> codec,
                                                     bool isSelected);

// A cap of 0 (or below) selects nothing; otherwise the variant is selected when the cap differs
// from its peak rate by strictly less than 10 % of that rate.
bool isVariantSelected(double peakBitRate, double preferredPeakBitRate);

std::vector<HVPMediaSelectionVideoTrackData> videoTrackDataForVariants(
    const std::vector<AVAssetVariant>& variants, double preferredPeakBitRate);

}  // namespace movie_player_avfoundation
