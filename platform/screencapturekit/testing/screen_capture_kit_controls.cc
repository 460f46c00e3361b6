#include "platform/screencapturekit/testing/screen_capture_kit_controls.h"

#include "platform/screencapturekit/capture_model.h"

namespace screencapturekit::testing {

void setShareableDisplays(std::vector<SCDisplay> displays) {
  std::lock_guard lock(captureModel().mutex);
  captureModel().displays = std::move(displays);
}

void failNextShareableContent(NSError error) {
  std::lock_guard lock(captureModel().mutex);
  captureModel().content_failure = std::move(error);
}

void failNextAddStreamOutput(NSError error) {
  std::lock_guard lock(captureModel().mutex);
  captureModel().add_output_failure = std::move(error);
}

void failNextStartCapture(NSError error) {
  std::lock_guard lock(captureModel().mutex);
  captureModel().start_failure = std::move(error);
}

void holdShareableContentRequests(bool hold) {
  std::lock_guard lock(captureModel().mutex);
  captureModel().hold_content_requests = hold;
}

size_t heldShareableContentRequestCount() {
  std::lock_guard lock(captureModel().mutex);
  return captureModel().held_content_requests.size();
}

void releaseShareableContentRequests() {
  std::vector<SCShareableContent::CompletionHandler> held;
  {
    std::lock_guard lock(captureModel().mutex);
    held.swap(captureModel().held_content_requests);
    captureModel().hold_content_requests = false;
  }
  for (auto& handler : held) SCShareableContent::getShareableContentWithCompletionHandler(handler);
}

std::vector<std::shared_ptr<SCStream>> runningStreams() {
  std::lock_guard lock(captureModel().mutex);
  std::vector<std::shared_ptr<SCStream>> streams;
  for (const auto& weak : captureModel().running_streams) {
    if (auto stream = weak.lock()) streams.push_back(std::move(stream));
  }
  return streams;
}

void deliverSample(CVPixelBufferRef image, CMTime presentationTime, SCStreamOutputType type) {
  CMVideoFormatDescriptionRef format;
  if (image) CMVideoFormatDescriptionCreateForImageBuffer(image, &format);
  auto sample = std::make_shared<CMSampleBuffer>(
      std::move(image), std::move(format),
      CMSampleTimingInfo{kCMTimeInvalid, presentationTime, kCMTimeInvalid});
  for (const auto& stream : runningStreams()) stream->deliverSample(sample, type);
}

void holdScreenFrames(bool hold) {
  std::lock_guard lock(captureModel().mutex);
  captureModel().hold_screen_frames = hold;
}

size_t screenFrameTimerCount() { return captureModel().screen_frame_timers.load(); }

void resetScreenCaptureKit() {
  std::lock_guard lock(captureModel().mutex);
  auto& model = captureModel();
  model.displays = defaultDisplays();
  model.windows.clear();
  model.content_failure.reset();
  model.add_output_failure.reset();
  model.start_failure.reset();
  model.hold_content_requests = false;
  model.held_content_requests.clear();
  model.hold_screen_frames = false;
  model.running_streams.clear();
}

}  // namespace screencapturekit::testing
