#include "plugins/file_export/file_export_plugin.h"

#include <memory>

#include "platform/dispatch/dispatch.h"
#include "plugins/file_export/dialog.h"

namespace file_export {

void FileExportPlugin::registerWithRegistrar(FlutterPluginRegistrar& registrar) {
  auto channel = FlutterMethodChannel::methodChannelWithName("file_export", registrar.messenger());
  registrar.addMethodCallDelegate(std::make_shared<FileExportPlugin>(), channel);
}

void FileExportPlugin::handleMethodCall(const FlutterMethodCall& call, FlutterResult result) {
  if (call.method != "saveAs") {
    result(FlutterMethodNotImplemented);
    return;
  }
  const flutter::ValueMap* arguments = call.arguments.asMap();
  bool stringKeys = arguments != nullptr;
  for (const auto& [key, value] : arguments != nullptr ? *arguments : flutter::ValueMap()) {
    stringKeys = stringKeys && key.asString() != nullptr;
  }
  if (!stringKeys) {
    result(FlutterError{"Invalid Arguments", "Invalid Arguments were supplied", nullptr});
    return;
  }
  Params params = Params::fromMap(*arguments);
  // Refused now rather than after the user has chosen a place.
  if (params.bytesOfAnotherType) {
    result(FlutterError{"invalid_arguments", "\"bytes\" must be typed data", nullptr});
    return;
  }
  dispatch_async(dispatch_get_main_queue(),
                 [params = std::move(params), result = std::move(result)] {
                   std::make_shared<Dialog>()->openSaveDialog(params, result);
                 });
}

}  // namespace file_export
