#include "platform/flutter/engine_platform_views.h"

#include "platform/foundation/ns_log.h"

namespace flutter {

void EnginePlatformViews::registerFactory(std::shared_ptr<FlutterPlatformViewFactory> factory,
                                          const std::string& viewType) {
  if (!factory) return;
  if (factories_.count(viewType) != 0) {
    NSLog("A platform-view factory is already registered for '%s'", viewType.c_str());
    return;
  }
  factories_[viewType] = std::move(factory);
}

void EnginePlatformViews::handleMethodCall(const FlutterMethodCall& call,
                                           const FlutterResult& result) {
  if (call.method == "create") {
    create(call.arguments, result);
  } else if (call.method == "dispose") {
    dispose(call.arguments, result);
  } else {
    result(FlutterMethodNotImplemented);
  }
}

void EnginePlatformViews::create(const Value& arguments, const FlutterResult& result) {
  const Value* id = arguments.find("id");
  const Value* type = arguments.find("viewType");
  if (id == nullptr || !id->isInteger() || type == nullptr || !type->is<std::string>()) {
    result(FlutterError{"bad_arguments", "create needs an integer id and a viewType", nullptr});
    return;
  }
  int64_t view_id = *id->asInteger();
  auto factory = factories_.find(type->get<std::string>());
  if (factory == factories_.end()) {
    result(FlutterError{"unregistered_view_type",
                        "No factory is registered for '" + type->get<std::string>() + "'",
                        nullptr});
    return;
  }
  if (views_.count(view_id) != 0) {
    result(FlutterError{"recreating_view", "A view with this id already exists", nullptr});
    return;
  }
  Value creation_arguments;
  const Value* params = arguments.find("params");
  auto codec = factory->second->createArgsCodec();
  if (params != nullptr && codec) {
    const auto* bytes = params->getIf<std::vector<uint8_t>>();
    if (bytes == nullptr) {
      result(FlutterError{"bad_arguments", "params must be bytes", nullptr});
      return;
    }
    try {
      creation_arguments = codec->decode(*bytes);
    } catch (const FlutterCodecError& error) {
      result(FlutterError{"bad_arguments", std::string("Undecodable params: ") + error.what(),
                          nullptr});
      return;
    }
  }
  auto view = factory->second->createWithViewIdentifier(view_id, creation_arguments);
  if (!view) {
    result(FlutterError{"creation_failed", "The factory created no view", nullptr});
    return;
  }
  views_[view_id] = std::move(view);
  result(nullptr);
}

void EnginePlatformViews::dispose(const Value& arguments, const FlutterResult& result) {
  auto id = arguments.asInteger();
  if (!id) {
    result(FlutterError{"bad_arguments", "dispose needs the integer view id", nullptr});
    return;
  }
  if (views_.erase(*id) == 0) {
    result(FlutterError{"unknown_view", "No view has this id", nullptr});
    return;
  }
  result(nullptr);
}

std::shared_ptr<NSView> EnginePlatformViews::viewForIdentifier(int64_t viewId) const {
  auto found = views_.find(viewId);
  return found == views_.end() ? nullptr : found->second;
}

void EnginePlatformViews::removeAll() {
  views_.clear();
  factories_.clear();
}

}  // namespace flutter
