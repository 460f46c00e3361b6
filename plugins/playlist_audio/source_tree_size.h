// What a source tree costs: the leaves it plays, the sources it is made of and how deep they
// nest. Trees are measured from the Dart side's maps before anything is built, so that a small
// message cannot make the player build a huge tree.
#pragma once

#include <cstdint>

#include "platform/flutter/value.h"

namespace playlist_audio {

struct SourceTreeSize {
  int64_t leaves = 0;
  int64_t sources = 0;
  int depth = 0;
};

// The size of the tree that decoding `map` would build. Counting stops once a limit is passed,
// so the answer is then only known to be past it.
SourceTreeSize measureSourceMap(const flutter::Value& map);
// Raises AudioPlayerException when `size` is past any of the tree limits.
void checkSourceTreeLimits(const SourceTreeSize& size);

}  // namespace playlist_audio
