// Test controls for the desktop: its screens and windows, the media lists' periodic refresh, and
// the desktop capturers that run. Running capturers deliver their source on their own unless
// frames are held.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/avfoundation/cv_pixel_buffer.h"
#include "platform/webrtc/ns_image.h"
#include "platform/webrtc/rtc_desktop_capturer.h"
#include "platform/webrtc/rtc_desktop_source.h"

namespace webrtc::testing {

struct DesktopSourceSpec {
  RTCDesktopSourceType type = RTCDesktopSourceTypeScreen;
  std::string id;
  std::string name;
  // Null: the source shows nothing.
  std::shared_ptr<webrtc::NSImage> image;
};

std::shared_ptr<webrtc::NSImage> solidImage(double width, double height, uint8_t red, uint8_t green,
                                            uint8_t blue, uint8_t alpha = 255);

void setDesktopSources(std::vector<DesktopSourceSpec> sources);
void addDesktopSource(DesktopSourceSpec source);
void removeDesktopSource(const std::string& sourceId);
void renameDesktopSource(const std::string& sourceId, const std::string& name);
void changeDesktopImage(const std::string& sourceId, std::shared_ptr<webrtc::NSImage> image);

// Every live media list refreshes itself (thumbnails included) from a thread of the framework,
// as it does periodically; waits until they have.
void refreshDesktopMediaLists();

std::vector<std::shared_ptr<RTCDesktopCapturer>> runningDesktopCapturers();
// Hands a frame to the capturer's capture delegate on a thread of the framework; waits.
void deliverDesktopFrame(RTCDesktopCapturer& capturer, CVPixelBufferRef image, int64_t timeStampNs);

// While held, capturers that start deliver no frames of their own; only deliverDesktopFrame
// drives them.
void holdDesktopFrames(bool hold);
// Capturers whose own frame timer runs.
size_t desktopFrameTimerCount();

// Back to the default desktop, frames not held; lists and capturers are forgotten.
void resetDesktop();

}  // namespace webrtc::testing
