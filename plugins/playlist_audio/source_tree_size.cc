#include "plugins/playlist_audio/source_tree_size.h"

#include <algorithm>

#include "plugins/playlist_audio/audio_arguments.h"
#include "plugins/playlist_audio/audio_player_exception.h"
#include "plugins/playlist_audio/audio_source_decoder.h"

namespace playlist_audio {
namespace {

// Counts saturate just past their limits, so products of counts stay small.
SourceTreeSize saturated(SourceTreeSize size) {
  size.leaves = std::min(size.leaves, kMaxLeaves + 1);
  size.sources = std::min(size.sources, kMaxSources + 1);
  return size;
}

// `level` counts the sources that enclose this map.
SourceTreeSize measure(const flutter::Value& map, int level) {
  const auto* type = map.find("type");
  const auto* name = type != nullptr ? type->asString() : nullptr;
  if (name == nullptr) return {};
  const bool known = isUriSourceType(*name) || *name == "clipping" || *name == "concatenating" ||
                     *name == "looping";
  if (!known) return {};
  if (level >= kMaxSourceDepth) return {0, 0, kMaxSourceDepth + 1};
  if (isUriSourceType(*name)) return {1, 1, 1};

  AudioArguments arguments(map);
  if (*name == "clipping") {
    const auto* child = arguments.entry("child");
    auto clipped = child != nullptr ? measure(*child, level + 1) : SourceTreeSize{};
    return saturated({1, 1 + clipped.sources, 1 + clipped.depth});
  }
  if (*name == "concatenating") {
    SourceTreeSize size{0, 1, 1};
    for (const auto& child : arguments.list("children")) {
      auto part = measure(child, level + 1);
      size = saturated({size.leaves + part.leaves, size.sources + part.sources,
                        std::max(size.depth, 1 + part.depth)});
      if (size.depth > kMaxSourceDepth) break;
    }
    return size;
  }
  int64_t count = std::clamp<int64_t>(arguments.integer("count"), 0, kMaxLoopCount);
  const auto* child = arguments.entry("child");
  auto copy = child != nullptr ? measure(*child, level + 1) : SourceTreeSize{};
  return saturated({count * copy.leaves, 1 + count * copy.sources, 1 + copy.depth});
}

}  // namespace

SourceTreeSize measureSourceMap(const flutter::Value& map) { return measure(map, 0); }

void checkSourceTreeLimits(const SourceTreeSize& size) {
  if (size.leaves > kMaxLeaves) throw AudioPlayerException("too many leaves");
  if (size.sources > kMaxSources) throw AudioPlayerException("too many sources");
  if (size.depth > kMaxSourceDepth) throw AudioPlayerException("sources nested too deep");
}

}  // namespace playlist_audio
