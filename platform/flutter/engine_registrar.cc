#include "platform/flutter/engine_registrar.h"

#include "platform/flutter/flutter_engine.h"
#include "platform/flutter/flutter_view_controller.h"

namespace flutter {

std::shared_ptr<FlutterBinaryMessenger> EngineRegistrar::messenger() {
  auto engine = engine_.lock();
  return engine ? engine->binaryMessenger() : nullptr;
}

std::shared_ptr<FlutterTextureRegistry> EngineRegistrar::textures() {
  auto engine = engine_.lock();
  return engine ? engine->textureRegistry() : nullptr;
}

std::shared_ptr<NSView> EngineRegistrar::view() {
  auto controller = viewController();
  return controller ? controller->view() : nullptr;
}

std::shared_ptr<FlutterViewController> EngineRegistrar::viewController() {
  auto engine = engine_.lock();
  return engine ? engine->viewController() : nullptr;
}

void EngineRegistrar::addMethodCallDelegate(std::shared_ptr<FlutterPlugin> delegate,
                                            const std::shared_ptr<FlutterMethodChannel>& channel) {
  if (!delegate || !channel) return;
  {
    std::lock_guard lock(mutex_);
    bool known = false;
    for (const auto& existing : delegates_) known = known || existing.lock() == delegate;
    if (!known) delegates_.push_back(delegate);
  }
  channel->setMethodCallHandler([delegate](FlutterMethodCall call, FlutterResult result) {
    delegate->handleOwnedMethodCall(std::move(call), std::move(result));
  });
}

void EngineRegistrar::detachPlugins() {
  std::vector<std::weak_ptr<FlutterPlugin>> delegates;
  {
    std::lock_guard lock(mutex_);
    delegates.swap(delegates_);
  }
  for (const auto& weak : delegates) {
    if (auto delegate = weak.lock()) delegate->detachFromEngineForRegistrar(*this);
  }
}

void EngineRegistrar::addApplicationDelegate(std::shared_ptr<FlutterAppLifecycleDelegate> delegate) {
  if (auto engine = engine_.lock()) engine->addApplicationDelegate(std::move(delegate));
}

void EngineRegistrar::registerViewFactory(std::shared_ptr<FlutterPlatformViewFactory> factory,
                                          const std::string& factoryId) {
  if (auto engine = engine_.lock()) engine->platformViews().registerFactory(std::move(factory), factoryId);
}

void EngineRegistrar::publish(std::shared_ptr<void> value) {
  if (auto engine = engine_.lock()) engine->publish(plugin_key_, std::move(value));
}

std::string EngineRegistrar::lookupKeyForAsset(const std::string& asset) {
  return assetKey(asset);
}

std::string EngineRegistrar::lookupKeyForAsset(const std::string& asset,
                                               const std::string& package) {
  return assetKey(asset, package);
}

std::string EngineRegistrar::assetKey(const std::string& asset) {
  return std::string(kAssetsFolder) + "/" + asset;
}

std::string EngineRegistrar::assetKey(const std::string& asset, const std::string& package) {
  return assetKey("packages/" + package + "/" + asset);
}

}  // namespace flutter
