// What backs the assets made from here on: FFmpeg's libraries (the default: file URLs probe and
// play the real file, remote URLs fail as without a network) or the deterministic model that
// tests drive through the controls. Process-wide; an asset keeps the backing it was made with.
#pragma once

namespace avfoundation::internal {

enum class MediaBacking { library, model };

MediaBacking currentMediaBacking();
void setMediaBacking(MediaBacking backing);

}  // namespace avfoundation::internal
