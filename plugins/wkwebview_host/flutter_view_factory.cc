#include "plugins/wkwebview_host/flutter_view_factory.h"

#include "platform/flutter/flutter_standard_codec.h"

namespace wkwebview_host {

std::shared_ptr<const FlutterMessageCodec> FlutterViewFactory::createArgsCodec() {
  return FlutterStandardMessageCodec::sharedInstance();
}

std::shared_ptr<NSView> FlutterViewFactory::createWithViewIdentifier(
    int64_t /*viewId*/, const flutter::Value& arguments) {
  std::optional<int64_t> identifier = arguments.asInteger();
  auto instances = instance_manager_.lock();
  if (!identifier || !instances) return nullptr;
  return std::dynamic_pointer_cast<NSView>(instances->lookupObject(*identifier));
}

}  // namespace wkwebview_host
