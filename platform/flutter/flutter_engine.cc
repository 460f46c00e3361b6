#include "platform/flutter/flutter_engine.h"

#include <algorithm>

#include "platform/appkit/ns_application.h"
#include "platform/flutter/engine_registrar.h"
#include "platform/flutter/engine_textures_channel.h"
#include "platform/flutter/socket_dart_side.h"
#include "platform/foundation/ns_log.h"

std::shared_ptr<FlutterEngine> FlutterEngine::create() {
  std::shared_ptr<FlutterEngine> engine(new FlutterEngine());
  engine->observeApplication();
  // The engine's own channel for platform views; it holds the engine weakly.
  std::weak_ptr<FlutterEngine> weak = engine;
  FlutterMethodChannel(flutter::kPlatformViewsChannel, engine->messenger_)
      .setMethodCallHandler([weak](const FlutterMethodCall& call, FlutterResult result) {
        if (auto self = weak.lock()) {
          self->platform_views_.handleMethodCall(call, result);
        } else {
          result(FlutterMethodNotImplemented);
        }
      });
  flutter::installTexturesChannel(engine->messenger_, engine->textures_);
  return engine;
}

FlutterEngine::FlutterEngine()
    : messenger_(std::make_shared<flutter::EngineMessenger>()),
      textures_(std::make_shared<flutter::EngineTextureRegistry>()) {}

FlutterEngine::~FlutterEngine() { shutDown(); }

void FlutterEngine::observeApplication() {
  std::weak_ptr<FlutterEngine> weak = weak_from_this();
  auto center = NSNotificationCenter::defaultCenter();
  auto forward = [weak](void (FlutterAppLifecycleDelegate::*callback)(const NSNotification&)) {
    return [weak, callback](const NSNotification& notification) {
      auto self = weak.lock();
      if (!self) return;
      std::vector<std::shared_ptr<FlutterAppLifecycleDelegate>> delegates;
      {
        std::lock_guard lock(self->mutex_);
        delegates = self->lifecycle_delegates_;
      }
      for (const auto& delegate : delegates) ((*delegate).*callback)(notification);
    };
  };
  // The socket file goes with the application, whoever still holds the engine then.
  observers_.push_back(center->addObserverForName(
      NSApplicationWillTerminateNotification, nullptr, nullptr,
      [weak](const NSNotification&) {
        if (auto self = weak.lock()) self->stopServingSocket();
      }));
  observers_.push_back(center->addObserverForName(
      NSApplicationProtectedDataDidBecomeAvailableNotification, nullptr, nullptr,
      forward(&FlutterAppLifecycleDelegate::applicationProtectedDataDidBecomeAvailable)));
  observers_.push_back(center->addObserverForName(
      NSApplicationProtectedDataWillBecomeUnavailableNotification, nullptr, nullptr,
      forward(&FlutterAppLifecycleDelegate::applicationProtectedDataWillBecomeUnavailable)));
}

std::shared_ptr<FlutterPluginRegistrar> FlutterEngine::registrarForPlugin(
    const std::string& pluginKey) {
  {
    std::lock_guard lock(mutex_);
    if (std::find(plugin_keys_.begin(), plugin_keys_.end(), pluginKey) != plugin_keys_.end()) {
      NSLog("A registrar for plug-in '%s' was already given out", pluginKey.c_str());
      return nullptr;
    }
    plugin_keys_.push_back(pluginKey);
  }
  auto registrar = std::make_shared<flutter::EngineRegistrar>(weak_from_this(), pluginKey);
  std::lock_guard lock(mutex_);
  // Kept for shutdown, when the engine detaches the plug-ins it was given.
  if (!shut_down_) registrars_.push_back(registrar);
  return registrar;
}

std::shared_ptr<void> FlutterEngine::valuePublishedByPlugin(const std::string& pluginKey) {
  std::lock_guard lock(mutex_);
  auto found = published_.find(pluginKey);
  return found == published_.end() ? nullptr : found->second;
}

bool FlutterEngine::hasPlugin(const std::string& pluginKey) const {
  std::lock_guard lock(mutex_);
  return std::find(plugin_keys_.begin(), plugin_keys_.end(), pluginKey) != plugin_keys_.end();
}

void FlutterEngine::setViewController(std::weak_ptr<FlutterViewController> controller) {
  std::lock_guard lock(mutex_);
  view_controller_ = std::move(controller);
}

std::shared_ptr<FlutterViewController> FlutterEngine::viewController() const {
  std::lock_guard lock(mutex_);
  return view_controller_.lock();
}

void FlutterEngine::attachDartSide(std::shared_ptr<FlutterDartSide> dartSide) {
  messenger_->attachDartSide(std::move(dartSide));
}

void FlutterEngine::detachDartSide(const FlutterDartSide* dartSide) {
  messenger_->detachDartSide(dartSide);
}

void FlutterEngine::deliverFromDartSide(const std::string& channel, FlutterBinaryMessage message,
                                        std::function<void(FlutterBinaryMessage)> reply) {
  messenger_->deliverFromDartSide(channel, std::move(message), std::move(reply));
}

bool FlutterEngine::serveDartSideOnSocket(const std::string& path) {
  stopServingSocket();
  auto dart_side = flutter::SocketDartSide::serve(path, messenger_);
  if (!dart_side) return false;
  messenger_->attachDartSide(dart_side);
  std::lock_guard lock(mutex_);
  socket_dart_side_ = std::move(dart_side);
  return true;
}

void FlutterEngine::stopServingSocket() {
  std::shared_ptr<flutter::SocketDartSide> dart_side;
  {
    std::lock_guard lock(mutex_);
    dart_side.swap(socket_dart_side_);
  }
  if (!dart_side) return;
  messenger_->detachDartSide(dart_side.get());
  dart_side->stop();
}

void FlutterEngine::publish(const std::string& pluginKey, std::shared_ptr<void> value) {
  std::lock_guard lock(mutex_);
  published_[pluginKey] = std::move(value);
}

void FlutterEngine::addApplicationDelegate(std::shared_ptr<FlutterAppLifecycleDelegate> delegate) {
  if (!delegate) return;
  std::lock_guard lock(mutex_);
  lifecycle_delegates_.push_back(std::move(delegate));
}

void FlutterEngine::shutDown() {
  std::map<std::string, std::shared_ptr<void>> published;
  std::vector<std::shared_ptr<FlutterAppLifecycleDelegate>> delegates;
  std::vector<NSNotificationObserverToken> observers;
  std::vector<std::shared_ptr<flutter::EngineRegistrar>> registrars;
  {
    std::lock_guard lock(mutex_);
    if (shut_down_) return;
    shut_down_ = true;
    published.swap(published_);
    delegates.swap(lifecycle_delegates_);
    observers.swap(observers_);
    registrars.swap(registrars_);
  }
  // As the platform does: plug-ins hear of it while their channels are still there.
  for (const auto& registrar : registrars) registrar->detachPlugins();
  for (const auto& observer : observers) NSNotificationCenter::defaultCenter()->removeObserver(observer);
  stopServingSocket();
  // Plug-ins hold channels that hold the messenger: dropping the handlers breaks those cycles.
  messenger_->removeAllHandlers();
  textures_->unregisterAll();
  platform_views_.removeAll();
}
