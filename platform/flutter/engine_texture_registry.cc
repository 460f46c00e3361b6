#include "platform/flutter/engine_texture_registry.h"

#include "platform/quartzcore/ca_display_link.h"

namespace flutter {
namespace {

// The period of the display the compositor draws for, as the engine's vsync source reports it.
double displayRefreshPeriod() {
  static const auto* const vsync = new std::shared_ptr<CADisplayLink>(
      CADisplayLink::displayLinkWithAction(nullptr));
  return (*vsync)->duration();
}

}  // namespace

int64_t EngineTextureRegistry::registerTexture(std::shared_ptr<FlutterTexture> texture) {
  if (!texture) return 0;
  std::lock_guard lock(mutex_);
  int64_t id = next_id_++;
  textures_[id] = Registered{std::move(texture)};
  return id;
}

void EngineTextureRegistry::textureFrameAvailable(int64_t textureId) {
  std::lock_guard lock(mutex_);
  auto found = textures_.find(textureId);
  if (found != textures_.end()) ++found->second.frames_available;
}

void EngineTextureRegistry::unregisterTexture(int64_t textureId) {
  std::shared_ptr<FlutterTexture> texture;
  {
    std::lock_guard lock(mutex_);
    auto found = textures_.find(textureId);
    if (found == textures_.end()) return;
    texture = std::move(found->second.texture);
    textures_.erase(found);
  }
  texture->onTextureUnregistered(texture);
}

bool EngineTextureRegistry::isRegistered(int64_t textureId) const {
  std::lock_guard lock(mutex_);
  return textures_.count(textureId) != 0;
}

int64_t EngineTextureRegistry::frameAvailableCount(int64_t textureId) const {
  std::lock_guard lock(mutex_);
  auto found = textures_.find(textureId);
  return found == textures_.end() ? 0 : found->second.frames_available;
}

CVPixelBufferRef EngineTextureRegistry::copyPixelBuffer(int64_t textureId) const {
  std::shared_ptr<FlutterTexture> texture;
  {
    std::lock_guard lock(mutex_);
    auto found = textures_.find(textureId);
    if (found == textures_.end()) return nullptr;
    texture = found->second.texture;
  }
  return texture->copyPixelBuffer();
}

std::optional<CVPixelBufferRef> EngineTextureRegistry::drawFrame(int64_t textureId) {
  std::shared_ptr<FlutterTexture> texture;
  {
    std::lock_guard lock(mutex_);
    auto found = textures_.find(textureId);
    if (found == textures_.end()) return std::nullopt;
    Registered& registered = found->second;
    double now = CACurrentMediaTime();
    // A texture is pulled once per refresh at most, so that reading it often never paces it:
    // with nothing to show yet at every refresh's draw, as a compositor must, then after marks.
    bool marked = !registered.drawn || registered.frames_drawn != registered.frames_available;
    if (!marked || now - registered.pulled_at < displayRefreshPeriod()) return registered.drawn;
    registered.frames_drawn = registered.frames_available;
    registered.pulled_at = now;
    texture = registered.texture;
  }
  CVPixelBufferRef pulled = texture->copyPixelBuffer();
  std::lock_guard lock(mutex_);
  auto found = textures_.find(textureId);
  // Unregistered meanwhile: the compositor no longer draws it.
  if (found == textures_.end()) return std::nullopt;
  if (pulled) found->second.drawn = std::move(pulled);
  return found->second.drawn;
}

size_t EngineTextureRegistry::textureCount() const {
  std::lock_guard lock(mutex_);
  return textures_.size();
}

void EngineTextureRegistry::unregisterAll() {
  std::map<int64_t, Registered> removed;
  {
    std::lock_guard lock(mutex_);
    removed.swap(textures_);
  }
}

}  // namespace flutter
