// The file-picking plug-in: open and save panels for the Dart side, behind the process's
// file-access entitlements. Channels "pendrathorn.flutter.plugins.filedialog" (methods) and
// "pendrathorn.flutter.plugins.filedialogevent" (a stream that sends no events).
#pragma once

#include <memory>

#include "platform/flutter/flutter.h"
#include "plugins/file_dialog/mac_os_file_dialog_handler.h"

namespace file_dialog {

class FileDialogPlugin : public FlutterPlugin {
 public:
  static void registerWithRegistrar(FlutterPluginRegistrar& registrar);

  explicit FileDialogPlugin(std::shared_ptr<MacOSFileDialogHandler> handler)
      : handler_(std::move(handler)) {}

  void handleMethodCall(const FlutterMethodCall& call, FlutterResult result) override;

 private:
  std::shared_ptr<MacOSFileDialogHandler> handler_;
};

}  // namespace file_dialog
