#include "plugins/file_dialog/file_dialog_plugin.h"

namespace file_dialog {

void FileDialogPlugin::registerWithRegistrar(FlutterPluginRegistrar& registrar) {
  auto messenger = registrar.messenger();
  auto channel = FlutterMethodChannel::methodChannelWithName(
      "pendrathorn.flutter.plugins.filedialog", messenger);
  auto events = FlutterEventChannel::eventChannelWithName(
      "pendrathorn.flutter.plugins.filedialogevent", messenger);
  auto handler = std::make_shared<MacOSFileDialogHandler>(registrar);
  auto plugin = std::make_shared<FileDialogPlugin>(handler);
  registrar.addMethodCallDelegate(plugin, channel);
  events->setStreamHandler(handler);
}

void FileDialogPlugin::handleMethodCall(const FlutterMethodCall& call, FlutterResult result) {
  handler_->handle(call, std::move(result));
}

}  // namespace file_dialog
