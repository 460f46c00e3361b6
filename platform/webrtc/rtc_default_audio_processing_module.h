// The framework's audio processing module, handed to the peer-connection factory.
#pragma once

class RTCDefaultAudioProcessingModule {
 public:
  RTCDefaultAudioProcessingModule() = default;
  RTCDefaultAudioProcessingModule(const RTCDefaultAudioProcessingModule&) = delete;
  RTCDefaultAudioProcessingModule& operator=(const RTCDefaultAudioProcessingModule&) = delete;
};
