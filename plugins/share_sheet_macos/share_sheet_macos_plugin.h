// The sharing plug-in: offers text, a link or files to the sharing-service picker, anchored to a
// rectangle of the Flutter view, and answers the title of the service the user chose. Channel
// "dev.velmora.desktop/share".
#pragma once

#include <memory>

#include "platform/flutter/flutter.h"
#include "platform/flutter/flutter_view_controller.h"

namespace share_sheet_macos {

// The key whose subject wins over "subject".
inline constexpr const char* kPreferredSubjectKey = "shareSubject";

class ShareSheetMacosPlugin : public FlutterPlugin {
 public:
  static void registerWithRegistrar(FlutterPluginRegistrar& registrar);

  // Keeps the registrar's view controller weakly (it owns the engine that holds the plug-in);
  // its view anchors the picker.
  explicit ShareSheetMacosPlugin(FlutterPluginRegistrar& registrar)
      : view_controller_(registrar.viewController()) {}

  void handleMethodCall(const FlutterMethodCall& call, FlutterResult result) override;

 private:
  std::weak_ptr<FlutterViewController> view_controller_;
};

}  // namespace share_sheet_macos
