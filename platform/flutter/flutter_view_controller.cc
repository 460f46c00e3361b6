#include "platform/flutter/flutter_view_controller.h"

#include <cstdlib>

#include "platform/flutter/socket_dart_side.h"

FlutterViewController::FlutterViewController() : engine_(FlutterEngine::create()) {
  // The application's Dart side runs in another process when it names a socket to reach us on.
  const char* socket_path = std::getenv(flutter::kDartSideSocketVariable);
  if (socket_path != nullptr && *socket_path != '\0') engine_->serveDartSideOnSocket(socket_path);
}

FlutterViewController::~FlutterViewController() { engine_->shutDown(); }

std::shared_ptr<FlutterPluginRegistrar> FlutterViewController::registrarForPlugin(
    const std::string& pluginKey) {
  // Registrars reach the controller through the engine; it is shared by now.
  engine_->setViewController(std::dynamic_pointer_cast<FlutterViewController>(shared_from_this()));
  return engine_->registrarForPlugin(pluginKey);
}

std::shared_ptr<void> FlutterViewController::valuePublishedByPlugin(const std::string& pluginKey) {
  return engine_->valuePublishedByPlugin(pluginKey);
}

std::shared_ptr<NSView> FlutterViewController::loadView() {
  return std::make_shared<NSView>(NSMakeRect(0, 0, kInitialViewWidth, kInitialViewHeight));
}
