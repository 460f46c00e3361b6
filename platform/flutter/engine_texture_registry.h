// The engine's texture registry. Ids start at 1000 so that they never pass for the small
// counters plug-ins hand out.
#pragma once

#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/flutter/flutter_texture.h"

namespace flutter {

class EngineTextureRegistry final : public FlutterTextureRegistry {
 public:
  static constexpr int64_t kFirstTextureId = 1000;

  int64_t registerTexture(std::shared_ptr<FlutterTexture> texture) override;
  void textureFrameAvailable(int64_t textureId) override;
  void unregisterTexture(int64_t textureId) override;

  // What the engine's compositor sees.
  bool isRegistered(int64_t textureId) const;
  int64_t frameAvailableCount(int64_t textureId) const;
  // Pulls the newest frame as the compositor does; null for an unknown texture.
  CVPixelBufferRef copyPixelBuffer(int64_t textureId) const;
  // The frame the compositor shows when it draws the texture: while it has none, and after each
  // frame-available mark, it pulls the newest one, at most once per display refresh (vsync paces
  // a compositor, however often it is asked); otherwise (or when the texture hands out none) it
  // shows what it drew last. Null before any frame, nullopt for an unknown texture. Call it
  // from one thread at a time, as the engine's raster thread does: the texture is asked outside
  // the lock.
  std::optional<CVPixelBufferRef> drawFrame(int64_t textureId);
  size_t textureCount() const;
  void unregisterAll();

 private:
  struct Registered {
    std::shared_ptr<FlutterTexture> texture;
    int64_t frames_available = 0;
    int64_t frames_drawn = 0;
    CVPixelBufferRef drawn;
    // The media-clock time of the last pull.
    double pulled_at = -std::numeric_limits<double>::infinity();
  };
  mutable std::mutex mutex_;
  std::map<int64_t, Registered> textures_;
  int64_t next_id_ = kFirstTextureId;
};

}  // namespace flutter
