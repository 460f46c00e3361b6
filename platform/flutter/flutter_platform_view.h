// Platform views: native views that the Dart side embeds in the Flutter view, created by a
// factory registered under a view type.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/appkit/ns_view.h"
#include "platform/flutter/flutter_codec.h"

class FlutterPlatformViewFactory {
 public:
  virtual ~FlutterPlatformViewFactory() = default;
  // `arguments` were decoded with createArgsCodec, or are null when it answers none.
  virtual std::shared_ptr<NSView> createWithViewIdentifier(int64_t viewId,
                                                           const flutter::Value& arguments) = 0;
  virtual std::shared_ptr<const FlutterMessageCodec> createArgsCodec() { return nullptr; }
};
