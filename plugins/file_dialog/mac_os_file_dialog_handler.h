// The file-picking work: the method table, the entitlement gate that runs before every panel, and
// the four panels (files, files and directories, one directory, a save location), each shown as
// a sheet on the host window and answered when it ends.
//
// Calls arrive on the main thread; the gate runs on the user-initiated global queue, then the
// panel (or the gate's error) is back on the main thread.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/flutter/flutter.h"
#include "platform/flutter/flutter_view_controller.h"
#include "platform/appkit/ns_open_panel.h"
#include "plugins/file_dialog/dialog_arguments.h"
#include "plugins/file_dialog/entitlement_gate.h"

class NSSavePanel;

namespace file_dialog {

class MacOSFileDialogHandler : public FlutterStreamHandler,
                               public std::enable_shared_from_this<MacOSFileDialogHandler> {
 public:
  // Keeps the registrar's view controller (weakly: the controller owns the engine that holds
  // the handler); its view's window is the host window.
  explicit MacOSFileDialogHandler(FlutterPluginRegistrar& registrar)
      : view_controller_(registrar.viewController()) {}

  void handle(const FlutterMethodCall& call, FlutterResult result);

  std::optional<FlutterError> onListenWithArguments(const flutter::Value& arguments,
                                                    FlutterEventSink events) override;
  std::optional<FlutterError> onCancelWithArguments(const flutter::Value& arguments) override;

 private:
  using PanelOperation = void (MacOSFileDialogHandler::*)(const FlutterMethodCall&, FlutterResult);
  struct PanelRow {
    PanelOperation operation;
    EntitlementMode mode;
  };
  static const std::map<std::string, PanelRow>& panelTable();

  void runAfterEntitlementCheck(EntitlementMode mode, PanelOperation operation,
                                FlutterMethodCall call, FlutterResult result);

  void showOpenFilesPanel(const FlutterMethodCall& call, FlutterResult result);
  void showFilesAndDirectoriesPanel(const FlutterMethodCall& call, FlutterResult result);
  void showDirectoryPanel(const FlutterMethodCall& call, FlutterResult result);
  void showSavePanel(const FlutterMethodCall& call, FlutterResult result);
  // An open panel that chooses files, and directories too when asked, filtered as `method` asks.
  static std::shared_ptr<NSOpenPanel> filePanel(const DialogArguments& arguments, bool multiple,
                                                bool directories, const std::string& method);

  // The panel's directoryURL: the given directory, else the sandbox's home, else the panel's own.
  static void applyInitialDirectory(NSSavePanel& panel,
                                    const std::optional<std::string>& initialDirectory);
  // Shows the panel as a sheet on the host window; without one, answers nil at once.
  void beginSheet(const std::shared_ptr<NSSavePanel>& panel, FlutterResult result,
                  std::function<flutter::Value(NSSavePanel&)> answerOnConfirm);

  std::weak_ptr<FlutterViewController> view_controller_;
  // Read by the gate off the main thread.
  std::atomic<bool> skip_entitlements_checks_{false};
  FlutterEventSink event_sink_;
};

}  // namespace file_dialog
