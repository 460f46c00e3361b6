// Writes small image files for tests that load images.
#pragma once

#include <string>

#include "platform/mediaplayer/ns_image.h"

namespace mediaplayer::testing {

// A grey image of the given size in the given format; false when the file cannot be written.
bool writeSampleImage(const std::string& path, NSImage::Format format, int width, int height);

}  // namespace mediaplayer::testing
