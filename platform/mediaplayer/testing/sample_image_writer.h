// Writes small image files for tests that load images.
#pragma once

#include <string>

#include "platform/mediaplayer/ns_image.h"

namespace mediaplayer::testing {

// A grey image of the given size in the given format; false when the file cannot be written.
bool writeSampleImage(const std::string& path, NSImage::Format format, int width, int height);
// A grey PNG of the given size whose pixels follow `texts` compressed text chunks (zTXt) of
// `textBytes` bytes each, as a hostile file would carry them.
bool writeTextLadenPng(const std::string& path, int width, int height, int texts, int textBytes);

}  // namespace mediaplayer::testing
