// The engine's own channel "flutter/textures", through which the Dart side reads a texture as the
// engine's compositor draws it. "copyFrame" with a texture id answers the frame the compositor
// would show ({"width", "height", "bytesPerRow", "pixelFormat", "bytes"}), or null while the
// texture has none; an unknown id is the error "unknown_texture". Textures are asked on the
// engine's own serial queue, as the compositor asks them, never on the main thread.
#pragma once

#include <cstddef>
#include <memory>

#include "platform/flutter/engine_messenger.h"
#include "platform/flutter/engine_texture_registry.h"

namespace flutter {

inline constexpr const char* kTexturesChannel = "flutter/textures";
// A frame larger than this is not copied: the error "frame_too_large" (the socket's frame limit).
inline constexpr size_t kMaxCopiedFrameBytes = size_t{64} << 20;

// Holds the registry weakly: the channel outlives nothing of the engine's.
void installTexturesChannel(const std::shared_ptr<EngineMessenger>& messenger,
                            std::weak_ptr<EngineTextureRegistry> textures);

}  // namespace flutter
