// The file-saving plug-in: on "saveAs" (channel "file_export") it asks the user where to save,
// then writes the given bytes or copies the given file there.
#pragma once

#include "platform/flutter/flutter.h"

namespace file_export {

class FileExportPlugin : public FlutterPlugin {
 public:
  static void registerWithRegistrar(FlutterPluginRegistrar& registrar);

  void handleMethodCall(const FlutterMethodCall& call, FlutterResult result) override;
};

}  // namespace file_export
