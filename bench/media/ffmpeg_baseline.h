// FFmpeg's own decoding of a file into BGRA frames through the host's one decode loop, with none
// of a player's following, pacing or handing out: the baseline of the media benchmark.
#pragma once

#include <cstdint>

// Decodes every video frame of the file and converts each to BGRA; answers the frame count.
int64_t ffmpegDecodeToBGRA(const char* path);
