#include "platform/webrtc/rtc_dtmf_sender.h"

#include <cmath>
#include <string_view>

namespace {

bool validTones(const std::string& tones) {
  constexpr std::string_view kAllowed = "0123456789ABCDabcd*#,";
  for (char tone : tones) {
    if (kAllowed.find(tone) == std::string_view::npos) return false;
  }
  return true;
}

}  // namespace

bool RTCDtmfSender::insertDtmf(const std::string& tones, double durationSeconds,
                               double interToneGapSeconds) {
  if (!validTones(tones) || !std::isfinite(durationSeconds) ||
      !std::isfinite(interToneGapSeconds) || durationSeconds < 0.04 || durationSeconds > 6.0 ||
      interToneGapSeconds < 0.03) {
    return false;
  }
  std::lock_guard lock(mutex_);
  duration_ms_ = durationSeconds * 1000.0;
  inter_tone_gap_ms_ = interToneGapSeconds * 1000.0;
  // Kept for tests to read; only the latest insertions, however many a caller makes.
  if (inserted_tones_.size() == kKeptInsertions) inserted_tones_.erase(inserted_tones_.begin());
  inserted_tones_.push_back(tones);
  return true;
}

double RTCDtmfSender::duration() const {
  std::lock_guard lock(mutex_);
  return duration_ms_;
}

double RTCDtmfSender::interToneGap() const {
  std::lock_guard lock(mutex_);
  return inter_tone_gap_ms_;
}
