// FFmpeg's own decoding of a file through the host's one decode loop, with nothing of a player's
// following, pacing or handing out: the reference the tests compare shown frames with.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ReferenceFrame {
  double time;  // on the container's time line
  int width;
  int height;
  std::vector<uint8_t> pixels;  // tightly packed 32BGRA, converted with the default scaler
};

// The frame to show at `seconds`: the last one at or before it, else (before a stream that starts
// late) its first; nullopt when the file has none.
std::optional<ReferenceFrame> ffmpegFrameAt(const std::string& path, double seconds);
