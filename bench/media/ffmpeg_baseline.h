// FFmpeg's own decoding of a file into BGRA frames, the baseline of the media benchmark. (Apart
// from the benchmark itself: FFmpeg's headers and the platform's media types share names.)
#pragma once

#include <cstdint>

// Decodes every video frame of the file and converts each to BGRA; answers the frame count.
int64_t ffmpegDecodeToBGRA(const char* path);
