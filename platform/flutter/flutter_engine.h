// One Flutter engine: the messenger, texture registry, platform views and plug-in registrars
// behind a Flutter view. Several engines may live in one process.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/flutter/engine_messenger.h"
#include "platform/flutter/engine_platform_views.h"
#include "platform/flutter/engine_texture_registry.h"
#include "platform/flutter/flutter_plugin.h"

namespace flutter {
class EngineRegistrar;
class SocketDartSide;
}

class FlutterEngine final : public FlutterPluginRegistry,
                            public std::enable_shared_from_this<FlutterEngine> {
 public:
  static std::shared_ptr<FlutterEngine> create();
  ~FlutterEngine() override;

  std::shared_ptr<FlutterBinaryMessenger> binaryMessenger() const { return messenger_; }
  std::shared_ptr<FlutterTextureRegistry> textureRegistry() const { return textures_; }

  // One registrar per plug-in name; null (and a log line) for a name already taken.
  std::shared_ptr<FlutterPluginRegistrar> registrarForPlugin(const std::string& pluginKey) override;
  std::shared_ptr<void> valuePublishedByPlugin(const std::string& pluginKey) override;
  bool hasPlugin(const std::string& pluginKey) const;

  void setViewController(std::weak_ptr<FlutterViewController> controller);
  std::shared_ptr<FlutterViewController> viewController() const;

  // The Dart side's end of the engine.
  void attachDartSide(std::shared_ptr<FlutterDartSide> dartSide);
  void detachDartSide(const FlutterDartSide* dartSide);
  void deliverFromDartSide(const std::string& channel, FlutterBinaryMessage message,
                           std::function<void(FlutterBinaryMessage)> reply);
  // Serves an out-of-process Dart side on a Unix socket at `path` (see socket_dart_side.h) until
  // shutdown or the application's termination. Answers false, after a log line saying why, when
  // the path is refused.
  bool serveDartSideOnSocket(const std::string& path);

  flutter::EngineMessenger& messenger() { return *messenger_; }
  flutter::EngineTextureRegistry& textures() { return *textures_; }
  flutter::EnginePlatformViews& platformViews() { return platform_views_; }

  // Detaches every plug-in (see FlutterPlugin::detachFromEngineForRegistrar), then drops every
  // handler, texture, view and plug-in object the engine holds.
  void shutDown();

  // Used by registrars.
  void publish(const std::string& pluginKey, std::shared_ptr<void> value);
  void addApplicationDelegate(std::shared_ptr<FlutterAppLifecycleDelegate> delegate);

 private:
  FlutterEngine();
  void observeApplication();
  void stopServingSocket();

  std::shared_ptr<flutter::EngineMessenger> messenger_;
  std::shared_ptr<flutter::EngineTextureRegistry> textures_;
  flutter::EnginePlatformViews platform_views_;
  mutable std::mutex mutex_;
  std::map<std::string, std::shared_ptr<void>> published_;
  std::vector<std::string> plugin_keys_;
  std::vector<std::shared_ptr<flutter::EngineRegistrar>> registrars_;
  std::vector<std::shared_ptr<FlutterAppLifecycleDelegate>> lifecycle_delegates_;
  std::vector<NSNotificationObserverToken> observers_;
  std::weak_ptr<FlutterViewController> view_controller_;
  std::shared_ptr<flutter::SocketDartSide> socket_dart_side_;
  bool shut_down_ = false;
};
