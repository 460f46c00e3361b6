#include "plugins/file_dialog/mac_os_file_dialog_handler.h"

#include <sys/stat.h>

#include "platform/appkit/ns_open_panel.h"
#include "platform/appkit/ns_save_panel.h"
#include "platform/dispatch/dispatch.h"
#include "plugins/file_dialog/dialog_arguments.h"
#include "plugins/file_dialog/file_type_filter.h"

namespace file_dialog {
namespace {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;

constexpr const char* kGeneralPickMethod = "pickFiles";
constexpr const char* kFilesAndDirectoriesMethod = "pickFileAndDirectoryPaths";

// {"path", "name", "size"}; the size is 0 when the item's attributes cannot be read.
Value fileInfoMap(const NSURL& url) {
  std::string path = url.path();
  struct stat attributes {};
  int64_t size = ::lstat(path.c_str(), &attributes) == 0 ? int64_t{attributes.st_size} : 0;
  return ValueMap{{"path", path}, {"name", url.lastPathComponent()}, {"size", size}};
}

}  // namespace

const std::map<std::string, MacOSFileDialogHandler::PanelRow>&
MacOSFileDialogHandler::panelTable() {
  using H = MacOSFileDialogHandler;
  constexpr auto open = EntitlementMode::readOrWrite;
  static const std::map<std::string, PanelRow> table = {
      {"any", {&H::showOpenFilesPanel, open}},
      {kImageType, {&H::showOpenFilesPanel, open}},
      {kVideoType, {&H::showOpenFilesPanel, open}},
      {kAudioType, {&H::showOpenFilesPanel, open}},
      {kCustomType, {&H::showOpenFilesPanel, open}},
      {kMediaType, {&H::showOpenFilesPanel, open}},
      {kGeneralPickMethod, {&H::showOpenFilesPanel, open}},
      {"dir", {&H::showDirectoryPanel, open}},
      {"getDirectoryPath", {&H::showDirectoryPanel, open}},
      {kFilesAndDirectoriesMethod, {&H::showFilesAndDirectoriesPanel, open}},
      {"save", {&H::showSavePanel, EntitlementMode::requireWrite}},
      {"saveFile", {&H::showSavePanel, EntitlementMode::requireWrite}},
  };
  return table;
}

void MacOSFileDialogHandler::handle(const FlutterMethodCall& call, FlutterResult result) {
  if (auto row = panelTable().find(call.method); row != panelTable().end()) {
    runAfterEntitlementCheck(row->second.mode, row->second.operation, call, std::move(result));
  } else if (call.method == "clear") {
    result(Value());
  } else if (call.method == "skipEntitlementsChecks") {
    skip_entitlements_checks_ = true;
    result(Value());
  } else {
    result(FlutterMethodNotImplemented);
  }
}

void MacOSFileDialogHandler::runAfterEntitlementCheck(EntitlementMode mode,
                                                      PanelOperation operation,
                                                      FlutterMethodCall call,
                                                      FlutterResult result) {
  std::weak_ptr<MacOSFileDialogHandler> weak_handler = weak_from_this();
  dispatch_async(
      dispatch_get_global_queue(QOS_CLASS_USER_INITIATED, 0),
      [weak_handler, mode, operation, call = std::move(call), result = std::move(result)] {
        auto handler = weak_handler.lock();
        if (!handler) return;
        std::optional<FlutterError> error;
        if (!handler->skip_entitlements_checks_) error = checkEntitlements(mode);
        dispatch_async(dispatch_get_main_queue(),
                       [weak_handler, operation, call, result, error = std::move(error)] {
                         if (error) {
                           result(*error);
                           return;
                         }
                         if (auto handler = weak_handler.lock()) {
                           ((*handler).*operation)(call, result);
                         }
                       });
      });
}

void MacOSFileDialogHandler::applyInitialDirectory(
    NSSavePanel& panel, const std::optional<std::string>& initialDirectory) {
  if (initialDirectory) {
    panel.setDirectoryURL(NSURL::fileURLWithPath(*initialDirectory));
  } else if (auto home = sandboxHomeDirectory()) {
    panel.setDirectoryURL(*home);
  }
}

void MacOSFileDialogHandler::beginSheet(
    const std::shared_ptr<NSSavePanel>& panel, FlutterResult result,
    std::function<Value(NSSavePanel&)> answerOnConfirm) {
  auto controller = view_controller_.lock();
  std::shared_ptr<NSView> view = controller ? controller->view() : nullptr;
  std::shared_ptr<NSWindow> window = view ? view->window() : nullptr;
  if (!window) {
    result(Value());
    return;
  }
  panel->beginSheetModalForWindow(
      window, [panel, result, answerOnConfirm = std::move(answerOnConfirm)](
                  NSModalResponse response) {
        result(response == NSModalResponseOK ? answerOnConfirm(*panel) : Value());
      });
}

void MacOSFileDialogHandler::showOpenFilesPanel(const FlutterMethodCall& call,
                                                FlutterResult result) {
  auto arguments = DialogArguments::read(call.arguments);
  auto panel = filePanel(arguments, arguments.allowMultiple, false, call.method);
  beginSheet(panel, std::move(result), [](NSSavePanel& ended) -> Value {
    ValueList files;
    for (const auto& url : static_cast<NSOpenPanel&>(ended).URLs()) {
      files.push_back(fileInfoMap(url));
    }
    return files.empty() ? Value() : Value(std::move(files));
  });
}

void MacOSFileDialogHandler::showFilesAndDirectoriesPanel(const FlutterMethodCall& call,
                                                          FlutterResult result) {
  auto panel = filePanel(DialogArguments::read(call.arguments), true, true,
                         kFilesAndDirectoriesMethod);
  beginSheet(panel, std::move(result), [](NSSavePanel& ended) -> Value {
    ValueList paths;
    for (const auto& url : static_cast<NSOpenPanel&>(ended).URLs()) paths.push_back(url.path());
    return paths.empty() ? Value() : Value(std::move(paths));
  });
}

std::shared_ptr<NSOpenPanel> MacOSFileDialogHandler::filePanel(const DialogArguments& arguments,
                                                               bool multiple, bool directories,
                                                               const std::string& method) {
  auto panel = NSOpenPanel::openPanel();
  applyInitialDirectory(*panel, arguments.initialDirectory);
  if (arguments.dialogTitle) {
    panel->setTitle(*arguments.dialogTitle);
    panel->setMessage(*arguments.dialogTitle);
  }
  panel->setShowsHiddenFiles(false);
  panel->setAllowsMultipleSelection(multiple);
  panel->setCanChooseDirectories(directories);
  panel->setCanChooseFiles(true);
  panel->setTreatsFilePackagesAsDirectories(false);
  applyTypeFilter(*panel, arguments.allowedExtensions, method);
  return panel;
}

void MacOSFileDialogHandler::showDirectoryPanel(const FlutterMethodCall& call,
                                                FlutterResult result) {
  auto panel = NSOpenPanel::openPanel();
  auto arguments = DialogArguments::read(call.arguments);
  applyInitialDirectory(*panel, arguments.initialDirectory);
  if (arguments.dialogTitle) {
    panel->setTitle(*arguments.dialogTitle);
    panel->setTitleVisibility(NSWindowTitleVisible);
    panel->setTitlebarAppearsTransparent(false);
    panel->setMessage(*arguments.dialogTitle);
  }
  panel->setShowsHiddenFiles(false);
  panel->setAllowsMultipleSelection(false);
  panel->setCanChooseDirectories(true);
  panel->setCanChooseFiles(false);
  beginSheet(panel, std::move(result), [](NSSavePanel& ended) -> Value {
    auto url = ended.URL();
    return url ? Value(url->path()) : Value();
  });
}

void MacOSFileDialogHandler::showSavePanel(const FlutterMethodCall& call, FlutterResult result) {
  auto panel = NSSavePanel::savePanel();
  auto arguments = DialogArguments::read(call.arguments);
  panel->setTitle(arguments.dialogTitle.value_or(""));
  panel->setShowsTagField(false);
  panel->setShowsHiddenFiles(false);
  panel->setCanCreateDirectories(true);
  panel->setExtensionHidden(true);
  panel->setNameFieldStringValue(arguments.fileName.value_or(""));
  applyInitialDirectory(*panel, arguments.initialDirectory);
  applyTypeFilter(*panel, arguments.allowedExtensions, call.method);
  if (arguments.allowedExtensions.empty()) {
    applyFileNameType(*panel, arguments.fileName.value_or(""));
  }
  beginSheet(panel, std::move(result), [](NSSavePanel& ended) -> Value {
    auto url = ended.URL();
    return url ? Value(url->path()) : Value();
  });
}

std::optional<FlutterError> MacOSFileDialogHandler::onListenWithArguments(
    const flutter::Value& /*arguments*/, FlutterEventSink events) {
  event_sink_ = std::move(events);
  return std::nullopt;
}

std::optional<FlutterError> MacOSFileDialogHandler::onCancelWithArguments(
    const flutter::Value& /*arguments*/) {
  event_sink_ = nullptr;
  return std::nullopt;
}

}  // namespace file_dialog
