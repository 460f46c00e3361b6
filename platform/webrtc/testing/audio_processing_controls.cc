#include "platform/webrtc/testing/audio_processing_controls.h"
#include "platform/webrtc/testing/bounded_wait.h"

#include <functional>

#include "platform/dispatch/dispatch.h"

namespace webrtc::testing {
namespace {

void onAudioThread(RTCDefaultAudioProcessingModule& module, AudioProcessingStage stage,
                   const std::function<void(RTCAudioCustomProcessingDelegate&)>& work) {
  static const auto* const audio_thread =
      new dispatch_queue_t(dispatch_queue_create("webrtc.audio", DISPATCH_QUEUE_SERIAL));
  auto delegate = stage == AudioProcessingStage::capturePost
                      ? module.capturePostProcessingDelegate()
                      : module.renderPreProcessingDelegate();
  if (!delegate) return;
  webrtc::testing::runOnQueueAndWait(
      *audio_thread, [delegate, work] { work(*delegate); }, "audio processing");
}

}  // namespace

void initializeAudioProcessing(RTCDefaultAudioProcessingModule& module,
                               AudioProcessingStage stage, size_t sampleRateHz, size_t channels) {
  onAudioThread(module, stage, [&](auto& delegate) {
    delegate.audioProcessingInitializeWithSampleRate(sampleRateHz, channels);
  });
}

void processAudio(RTCDefaultAudioProcessingModule& module, AudioProcessingStage stage,
                  RTCAudioBuffer& buffer) {
  onAudioThread(module, stage, [&](auto& delegate) { delegate.audioProcessingProcess(buffer); });
}

void releaseAudioProcessing(RTCDefaultAudioProcessingModule& module, AudioProcessingStage stage) {
  onAudioThread(module, stage, [](auto& delegate) { delegate.audioProcessingRelease(); });
}

}  // namespace webrtc::testing
