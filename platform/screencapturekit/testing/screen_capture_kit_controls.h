// Test controls for screen capture: the displays on offer, failures of the next request, held
// content requests, the running streams and the samples they deliver. Running streams deliver
// the screen on their own unless frames are held.
#pragma once

#include <memory>
#include <vector>

#include "platform/screencapturekit/sc_stream.h"

namespace screencapturekit::testing {

void setShareableDisplays(std::vector<SCDisplay> displays);

void failNextShareableContent(NSError error);
void failNextAddStreamOutput(NSError error);
void failNextStartCapture(NSError error);

// While held, content requests wait; releasing answers them all, in order.
void holdShareableContentRequests(bool hold);
size_t heldShareableContentRequestCount();
void releaseShareableContentRequests();

std::vector<std::shared_ptr<SCStream>> runningStreams();
// Hands one sample to every running stream (an image of null makes a sample without one).
void deliverSample(CVPixelBufferRef image, CMTime presentationTime,
                   SCStreamOutputType type = SCStreamOutputTypeScreen);

// While held, streams that start deliver no frames of their own; only deliverSample drives them.
void holdScreenFrames(bool hold);
// Streams whose own frame timer runs.
size_t screenFrameTimerCount();

// Back to one default display, no failures, nothing held (frames flow again); running
// streams are forgotten.
void resetScreenCaptureKit();

}  // namespace screencapturekit::testing
