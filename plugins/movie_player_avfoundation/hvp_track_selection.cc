#include "plugins/movie_player_avfoundation/hvp_track_selection.h"

#include <cmath>
#include <cstdio>

namespace movie_player_avfoundation {
namespace {

// Whole and positive, saturating at the int64 range; nullopt for anything not finite or not
// above 0.
std::optional<int64_t> positiveWhole(double value) {
  if (!std::isfinite(value) || !(value > 0)) return std::nullopt;
  if (value >= 9223372036854775807.0) return INT64_MAX;
  return static_cast<int64_t>(value);
}

std::optional<std::string> heightLabel(double height) {
  if (!std::isfinite(height) || !(height > 0)) return std::nullopt;
  char label[64];
  std::snprintf(label, sizeof label, "%.0fp", height);
  return std::string(label);
}

}  // namespace

std::optional<std::string> codecStringFromFourCharCode(uint32_t fourCharCode) {
  switch (fourCharCode) {
    case 0x61766331:  // 'avc1'
      return "avc1";
    case 0x68766331:  // 'hvc1'
      return "hevc";
    case 0x76703039:  // 'vp09'
      return "vp9";
    default:
      return std::nullopt;
  }
}

HVPMediaSelectionVideoTrackData createVideoTrackData(int64_t index,
                                                     std::optional<std::string> label,
                                                     double peakBitRate, CGSize videoSize,
                                                     double frameRate,
                                                     std::optional<std::string> codec,
                                                     bool isSelected) {
  HVPMediaSelectionVideoTrackData record;
  record.variantIndex = index;
  record.label = std::move(label);
  record.bitrate = positiveWhole(peakBitRate);
  record.width = positiveWhole(videoSize.width);
  record.height = positiveWhole(videoSize.height);
  if (std::isfinite(frameRate) && frameRate > 0) record.frameRate = frameRate;
  record.codec = std::move(codec);
  record.isSelected = isSelected;
  return record;
}

bool isVariantSelected(double peakBitRate, double preferredPeakBitRate) {
  return preferredPeakBitRate > 0 &&
         0.1 * peakBitRate > std::fabs(peakBitRate - preferredPeakBitRate);
}

std::vector<HVPMediaSelectionVideoTrackData> videoTrackDataForVariants(
    const std::vector<AVAssetVariant>& variants, double preferredPeakBitRate) {
  double preferred = preferredPeakBitRate < 0 ? 0 : preferredPeakBitRate;
  std::vector<HVPMediaSelectionVideoTrackData> records;
  int64_t index = 0;
  for (const auto& variant : variants) {
    CGSize size;
    double rate = 0;
    std::optional<std::string> codec;
    if (const auto& video = variant.videoAttributes) {
      size = video->presentationSize;
      rate = video->nominalFrameRate;
      if (!video->codecTypes.empty()) codec = codecStringFromFourCharCode(video->codecTypes.front());
    }
    records.push_back(createVideoTrackData(index++, heightLabel(size.height), variant.peakBitRate,
                                           size, rate, std::move(codec),
                                           isVariantSelected(variant.peakBitRate, preferred)));
  }
  return records;
}

}  // namespace movie_player_avfoundation
