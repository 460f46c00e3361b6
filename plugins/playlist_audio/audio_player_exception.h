// Raised inside the handling of one call when its arguments or its operation cannot go on; the
// player's handler answers it with the generic error. It never leaves the handler.
#pragma once

#include <stdexcept>

namespace playlist_audio {

class AudioPlayerException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace playlist_audio
