// The file selector plug-in: open and save panels configured from option records, answering the
// chosen paths over "dev.flutter.pigeon.file_panels_macos.FilePanelsApi.*".
#pragma once

#include <memory>

#include "platform/flutter/flutter.h"
#include "plugins/file_panels_macos/messages.g.h"
#include "plugins/file_panels_macos/panel_controller.h"
#include "plugins/file_panels_macos/view_provider.h"

namespace file_panels_macos {

class FilePanelsPlugin : public FlutterPlugin, public FilePanelsApi {
 public:
  static void registerWithRegistrar(FlutterPluginRegistrar& registrar);

  FilePanelsPlugin(std::shared_ptr<ViewProvider> viewProvider,
                   std::shared_ptr<PanelController> panelController)
      : view_provider_(std::move(viewProvider)), panel_controller_(std::move(panelController)) {}

  void displayOpenPanel(const OpenPanelOptions& options,
                        Completion<std::vector<std::string>> completion) override;
  void displaySavePanel(const SavePanelOptions& options,
                        Completion<std::optional<std::string>> completion) override;

  // Applies the options common to save and open panels.
  void configurePanel(NSSavePanel& panel, const SavePanelOptions& options) const;

  bool forceLegacyTypes() const { return force_legacy_types_; }

 private:
  void applyAllowedTypes(NSSavePanel& panel, const AllowedTypes& types) const;
  std::shared_ptr<NSWindow> hostWindow() const;

  std::shared_ptr<ViewProvider> view_provider_;
  std::shared_ptr<PanelController> panel_controller_;
  bool force_legacy_types_ = false;
};

}  // namespace file_panels_macos
