// Textures: a plug-in registers an object that hands out its newest frame; the engine pulls the
// frame (on a thread of its own) after each textureFrameAvailable.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/avfoundation/cv_pixel_buffer.h"

class FlutterTexture {
 public:
  virtual ~FlutterTexture() = default;
  // The newest frame, or null when there is none yet.
  virtual CVPixelBufferRef copyPixelBuffer() = 0;
  virtual void onTextureUnregistered(const std::shared_ptr<FlutterTexture>& /*texture*/) {}
};

class FlutterTextureRegistry {
 public:
  virtual ~FlutterTextureRegistry() = default;
  // Answers the new texture's id.
  virtual int64_t registerTexture(std::shared_ptr<FlutterTexture> texture) = 0;
  virtual void textureFrameAvailable(int64_t textureId) = 0;
  virtual void unregisterTexture(int64_t textureId) = 0;
};
