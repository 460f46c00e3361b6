// Turns the Dart side's source maps into source trees. A map of an unknown type decodes to
// nothing; a malformed map raises AudioPlayerException.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "platform/flutter/value.h"
#include "plugins/playlist_audio/audio_source.h"
#include "plugins/playlist_audio/load_control.h"

namespace playlist_audio {

// More copies than this in one looping source are refused rather than allocated.
inline constexpr int64_t kMaxLoopCount = 10000;
// One player's tree holds at most this many leaves and this many sources in all, and nests at
// most this deep (a URI source is one level, a clip of it two). A load or an insert that would go
// past any of them is refused before anything is built.
inline constexpr int64_t kMaxLeaves = 10000;
inline constexpr int64_t kMaxSources = 50000;
inline constexpr int kMaxSourceDepth = 32;

// "progressive", "dash" and "hls": the types that decode to a URI source.
bool isUriSourceType(std::string_view type);

class AudioSourceDecoder {
 public:
  explicit AudioSourceDecoder(std::shared_ptr<LoadControl> loadControl)
      : load_control_(std::move(loadControl)) {}

  // nullptr for an unknown type (or a value that is not a map).
  std::shared_ptr<AudioSource> decodeAudioSource(const flutter::Value& map) const;
  // Every entry must decode to a source.
  std::vector<std::shared_ptr<AudioSource>> decodeAudioSources(
      const flutter::ValueList& maps) const;

 private:
  // Raises for a map that decodes to no source.
  std::shared_ptr<AudioSource> decodeKnownSource(const flutter::Value& map) const;
  std::shared_ptr<AudioSource> decodeUri(const flutter::Value& map) const;
  std::shared_ptr<AudioSource> decodeConcatenating(const flutter::Value& map) const;
  std::shared_ptr<AudioSource> decodeClipping(const flutter::Value& map) const;
  std::shared_ptr<AudioSource> decodeLooping(const flutter::Value& map) const;

  std::shared_ptr<LoadControl> load_control_;
};

}  // namespace playlist_audio
