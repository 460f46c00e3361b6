// FFmpeg's own decoding, for tests that compare the stand-in's frames with it. (Kept apart:
// FFmpeg's headers and the platform's media types share names.)
#pragma once

#include <cstdint>
#include <vector>

// The first video frame of the file decoded by FFmpeg and converted to tightly packed BGRA with
// the default (bicubic) scaler; empty when the file cannot be decoded.
std::vector<uint8_t> ffmpegFirstFrame(const char* path, int* width, int* height);
