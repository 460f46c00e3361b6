// The registrar an engine hands to one plug-in.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/flutter/flutter_plugin.h"

class FlutterEngine;

namespace flutter {

class EngineRegistrar final : public FlutterPluginRegistrar {
 public:
  EngineRegistrar(std::weak_ptr<FlutterEngine> engine, std::string pluginKey)
      : engine_(std::move(engine)), plugin_key_(std::move(pluginKey)) {}

  std::shared_ptr<FlutterBinaryMessenger> messenger() override;
  std::shared_ptr<FlutterTextureRegistry> textures() override;
  std::shared_ptr<NSView> view() override;
  std::shared_ptr<FlutterViewController> viewController() override;
  void addMethodCallDelegate(std::shared_ptr<FlutterPlugin> delegate,
                             const std::shared_ptr<FlutterMethodChannel>& channel) override;
  void addApplicationDelegate(std::shared_ptr<FlutterAppLifecycleDelegate> delegate) override;
  void registerViewFactory(std::shared_ptr<FlutterPlatformViewFactory> factory,
                           const std::string& factoryId) override;
  void publish(std::shared_ptr<void> value) override;
  std::string lookupKeyForAsset(const std::string& asset) override;
  std::string lookupKeyForAsset(const std::string& asset, const std::string& package) override;

  // The folder of the bundle's resources that holds the Flutter assets.
  static constexpr const char* kAssetsFolder = "flutter_assets";
  // How the engine lays out asset keys: "flutter_assets/<asset>", and for a package's asset
  // "flutter_assets/packages/<package>/<asset>". The lookups above answer these.
  static std::string assetKey(const std::string& asset);
  static std::string assetKey(const std::string& asset, const std::string& package);

  // Tells every method-call delegate still alive, once each, that the engine is going away.
  void detachPlugins();

 private:
  std::weak_ptr<FlutterEngine> engine_;
  std::string plugin_key_;
  std::mutex mutex_;
  // Weak: the channels keep the delegates; one that is gone has nothing to detach.
  std::vector<std::weak_ptr<FlutterPlugin>> delegates_;
};

}  // namespace flutter
