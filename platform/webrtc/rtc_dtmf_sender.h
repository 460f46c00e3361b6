// Sends DTMF tones on an audio sender.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

class RTCDtmfSender {
 public:
  RTCDtmfSender() = default;
  RTCDtmfSender(const RTCDtmfSender&) = delete;
  RTCDtmfSender& operator=(const RTCDtmfSender&) = delete;

  bool canInsertDtmf() const { return true; }
  // Tones are 0-9, A-D, * and # (a comma is a two-second pause); the duration is 0.04 to 6
  // seconds and the gap at least 0.03 seconds. Answers false and plays nothing otherwise.
  bool insertDtmf(const std::string& tones, double durationSeconds, double interToneGapSeconds);

  // The duration and gap of the last insertion, in milliseconds.
  double duration() const;
  double interToneGap() const;

 private:
  friend class RTCDtmfSenderControl;
  static constexpr size_t kKeptInsertions = 16;

  mutable std::mutex mutex_;
  double duration_ms_ = 100;
  double inter_tone_gap_ms_ = 70;
  std::vector<std::string> inserted_tones_;
};
