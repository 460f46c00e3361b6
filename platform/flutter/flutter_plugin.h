// The plug-in contract: registrars hand a plug-in what it may use of the engine; a registry
// hands out one registrar per plug-in name.
#pragma once

#include <memory>
#include <string>

#include "platform/appkit/ns_view.h"
#include "platform/flutter/flutter_binary_messenger.h"
#include "platform/flutter/flutter_method_channel.h"
#include "platform/flutter/flutter_platform_view.h"
#include "platform/flutter/flutter_texture.h"
#include "platform/foundation/ns_notification_center.h"

class FlutterViewController;
class FlutterPluginRegistrar;

class FlutterPlugin {
 public:
  virtual ~FlutterPlugin() = default;
  virtual void handleMethodCall(const FlutterMethodCall& /*call*/, FlutterResult result) {
    result(FlutterMethodNotImplemented);
  }
  // The call as its channel decoded it, handed over: a plug-in that keeps a large call past the
  // handler (for work off the main thread) overrides this to keep it without a copy. By default
  // it is handleMethodCall's.
  virtual void handleOwnedMethodCall(FlutterMethodCall call, FlutterResult result) {
    handleMethodCall(call, std::move(result));
  }
  // Called once when the engine shuts down, for each plug-in given to a registrar as a method-call
  // delegate, with that registrar, before the engine drops its channels.
  virtual void detachFromEngineForRegistrar(FlutterPluginRegistrar& /*registrar*/) {}
};

// Application callbacks a plug-in may take.
class FlutterAppLifecycleDelegate {
 public:
  virtual ~FlutterAppLifecycleDelegate() = default;
  virtual void applicationProtectedDataDidBecomeAvailable(const NSNotification& /*notification*/) {}
  virtual void applicationProtectedDataWillBecomeUnavailable(
      const NSNotification& /*notification*/) {}
};

class FlutterPluginRegistrar {
 public:
  virtual ~FlutterPluginRegistrar() = default;

  virtual std::shared_ptr<FlutterBinaryMessenger> messenger() = 0;
  virtual std::shared_ptr<FlutterTextureRegistry> textures() = 0;
  // The Flutter view (its window is the host window); null for an engine without a view.
  virtual std::shared_ptr<NSView> view() = 0;
  virtual std::shared_ptr<FlutterViewController> viewController() = 0;

  // Routes the channel's calls to the delegate's handleMethodCall; the channel keeps the delegate.
  virtual void addMethodCallDelegate(std::shared_ptr<FlutterPlugin> delegate,
                                     const std::shared_ptr<FlutterMethodChannel>& channel) = 0;
  virtual void addApplicationDelegate(std::shared_ptr<FlutterAppLifecycleDelegate> delegate) = 0;
  virtual void registerViewFactory(std::shared_ptr<FlutterPlatformViewFactory> factory,
                                   const std::string& factoryId) = 0;
  // Makes `value` available to other native code through valuePublishedByPlugin.
  virtual void publish(std::shared_ptr<void> value) = 0;

  // The path of a Flutter asset relative to the main bundle's resources.
  virtual std::string lookupKeyForAsset(const std::string& asset) = 0;
  virtual std::string lookupKeyForAsset(const std::string& asset, const std::string& package) = 0;
};

class FlutterPluginRegistry {
 public:
  virtual ~FlutterPluginRegistry() = default;
  // Null when no registrar can be given (for instance, for a name already taken).
  virtual std::shared_ptr<FlutterPluginRegistrar> registrarForPlugin(const std::string& pluginKey) = 0;
  virtual std::shared_ptr<void> valuePublishedByPlugin(const std::string& pluginKey) = 0;
};
