#include "platform/flutter/engine_textures_channel.h"

#include <string>
#include <vector>

#include "platform/dispatch/dispatch_queue.h"
#include "platform/flutter/flutter_method_channel.h"

namespace flutter {
namespace {

Value describeFrame(const CVPixelBuffer& frame) {
  const uint8_t* bytes = frame.baseAddress();
  return Value(ValueMap{
      {"width", Value(static_cast<int64_t>(frame.width()))},
      {"height", Value(static_cast<int64_t>(frame.height()))},
      {"bytesPerRow", Value(static_cast<int64_t>(frame.bytesPerRow()))},
      {"pixelFormat", Value(static_cast<int64_t>(frame.pixelFormatType()))},
      {"bytes", Value(std::vector<uint8_t>(bytes, bytes + frame.dataSize()))},
  });
}

void copyFrame(EngineTextureRegistry& textures, int64_t textureId, const FlutterResult& result) {
  auto drawn = textures.drawFrame(textureId);
  if (!drawn) {
    result(FlutterError{"unknown_texture",
                        "No texture is registered with id " + std::to_string(textureId), nullptr});
  } else if (!*drawn) {
    result(nullptr);
  } else if ((*drawn)->dataSize() > kMaxCopiedFrameBytes) {
    result(FlutterError{"frame_too_large",
                        "The frame of " + std::to_string((*drawn)->dataSize()) +
                            " bytes exceeds the limit of " + std::to_string(kMaxCopiedFrameBytes),
                        nullptr});
  } else {
    result(describeFrame(**drawn));
  }
}

}  // namespace

void installTexturesChannel(const std::shared_ptr<EngineMessenger>& messenger,
                            std::weak_ptr<EngineTextureRegistry> textures) {
  // One queue, as the engine's one raster thread: draws of a texture never overlap.
  auto raster = dispatch_queue_create("flutter.textures.raster", DISPATCH_QUEUE_SERIAL);
  FlutterMethodChannel(kTexturesChannel, messenger)
      .setMethodCallHandler([textures = std::move(textures), raster](const FlutterMethodCall& call,
                                                                     FlutterResult result) {
        if (call.method != "copyFrame") {
          result(FlutterMethodNotImplemented);
          return;
        }
        auto id = call.arguments.asInteger();
        if (!id) {
          result(FlutterError{"bad_arguments", "copyFrame needs the integer texture id", nullptr});
          return;
        }
        raster->async([textures, textureId = *id, result] {
          auto registry = textures.lock();
          if (!registry) {
            result(FlutterError{"unknown_texture", "The engine has shut down", nullptr});
            return;
          }
          copyFrame(*registry, textureId, result);
        });
      });
}

}  // namespace flutter
