// The base of the outputs an item hands its media to.
#pragma once

class AVPlayerItemOutput {
 public:
  virtual ~AVPlayerItemOutput() = default;
};
