#include "plugins/webrtc_host/audio_processing_adapter.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "platform/foundation/ns_log.h"

namespace webrtc_host {
namespace {

int16_t toInt16(float sample) {
  if (std::isnan(sample)) return 0;
  const float truncated = std::trunc(sample);
  if (truncated >= float(std::numeric_limits<int16_t>::max())) {
    return std::numeric_limits<int16_t>::max();
  }
  if (truncated <= float(std::numeric_limits<int16_t>::min())) {
    return std::numeric_limits<int16_t>::min();
  }
  return static_cast<int16_t>(truncated);
}

}  // namespace

void AudioProcessingAdapter::addProcessing(
    const std::shared_ptr<RTCAudioCustomProcessingDelegate>& processor) {
  std::lock_guard lock(lock_);
  processors_.push_back(processor);
}

void AudioProcessingAdapter::removeProcessing(
    const std::shared_ptr<RTCAudioCustomProcessingDelegate>& processor) {
  std::lock_guard lock(lock_);
  std::erase(processors_, processor);
}

void AudioProcessingAdapter::addAudioRenderer(const std::shared_ptr<AudioRenderer>& renderer) {
  std::lock_guard lock(lock_);
  renderers_.push_back(renderer);
}

void AudioProcessingAdapter::removeAudioRenderer(const std::shared_ptr<AudioRenderer>& renderer) {
  std::lock_guard lock(lock_);
  std::erase(renderers_, renderer);
}

void AudioProcessingAdapter::audioProcessingInitializeWithSampleRate(size_t sampleRateHz,
                                                                     size_t channels) {
  std::lock_guard lock(lock_);
  for (const auto& processor : processors_) {
    processor->audioProcessingInitializeWithSampleRate(sampleRateHz, channels);
  }
}

void AudioProcessingAdapter::audioProcessingProcess(RTCAudioBuffer& audioBuffer) {
  std::lock_guard lock(lock_);
  for (const auto& processor : processors_) processor->audioProcessingProcess(audioBuffer);
  for (const auto& renderer : renderers_) renderer->renderPCMBuffer(toPCMBuffer(audioBuffer));
}

void AudioProcessingAdapter::audioProcessingRelease() {
  std::lock_guard lock(lock_);
  for (const auto& processor : processors_) processor->audioProcessingRelease();
}

std::shared_ptr<webrtc::AVAudioPCMBuffer> AudioProcessingAdapter::toPCMBuffer(
    const RTCAudioBuffer& buffer) {
  const auto frames = static_cast<uint32_t>(buffer.frames());
  const webrtc::AVAudioFormat format{webrtc::AVAudioPCMFormatInt16, buffer.frames() * 100.0,
                                     static_cast<uint32_t>(buffer.channels()), false};
  auto pcm = webrtc::AVAudioPCMBuffer::initWithPCMFormat(format, frames);
  if (!pcm) {
    NSLog("Failed to create AVAudioPCMBuffer");
    return nullptr;
  }
  pcm->setFrameLength(frames);
  for (uint32_t channel = 0; channel < format.channelCount; ++channel) {
    const float* input = buffer.rawBufferForChannel(channel);
    int16_t* output = pcm->int16ChannelData(channel);
    for (uint32_t frame = 0; frame < frames; ++frame) output[frame] = toInt16(input[frame]);
  }
  return pcm;
}

}  // namespace webrtc_host
