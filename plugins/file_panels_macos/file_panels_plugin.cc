#include "plugins/file_panels_macos/file_panels_plugin.h"

#include "platform/foundation/ns_process_info.h"
#include "platform/uniformtypes/ut_type.h"

namespace file_panels_macos {

void FilePanelsPlugin::registerWithRegistrar(FlutterPluginRegistrar& registrar) {
  auto plugin = std::make_shared<FilePanelsPlugin>(std::make_shared<DefaultViewProvider>(registrar),
                                                   std::make_shared<DefaultPanelController>());
  FilePanelsApiSetup::setUp(registrar.messenger(), plugin, "");
}

void FilePanelsPlugin::configurePanel(NSSavePanel& panel, const SavePanelOptions& options) const {
  if (options.directoryPath) panel.setDirectoryURL(NSURL::fileURLWithPath(*options.directoryPath));
  if (options.nameFieldStringValue && dynamic_cast<NSOpenPanel*>(&panel) == nullptr) {
    panel.setNameFieldStringValue(*options.nameFieldStringValue);
  }
  if (options.prompt) panel.setPrompt(*options.prompt);
  if (options.allowedFileTypes) applyAllowedTypes(panel, *options.allowedFileTypes);
  if (options.canCreateDirectories) panel.setCanCreateDirectories(*options.canCreateDirectories);
}

void FilePanelsPlugin::applyAllowedTypes(NSSavePanel& panel, const AllowedTypes& types) const {
  bool modern = !force_legacy_types_ &&
                NSProcessInfo::processInfo().isOperatingSystemAtLeastVersion({11, 0, 0});
  if (!modern) {
    std::vector<std::string> legacy = types.extensions;
    legacy.insert(legacy.end(), types.utis.begin(), types.utis.end());
    if (!legacy.empty()) panel.setAllowedFileTypes(std::move(legacy));
    return;
  }
  std::vector<UTType> content;
  for (const auto& identifier : types.utis) {
    if (auto type = UTType::typeWithIdentifier(identifier)) content.push_back(*type);
  }
  for (const auto& extension : types.extensions) {
    if (auto type = UTType::typeWithFilenameExtension(extension, UTType::data())) {
      content.push_back(*type);
    }
  }
  for (const auto& mimeType : types.mimeTypes) {
    if (auto type = UTType::typeWithMIMEType(mimeType, UTType::data())) content.push_back(*type);
  }
  if (!content.empty()) panel.setAllowedContentTypes(std::move(content));
}

std::shared_ptr<NSWindow> FilePanelsPlugin::hostWindow() const {
  auto view = view_provider_->view();
  return view ? view->window() : nullptr;
}

void FilePanelsPlugin::displayOpenPanel(const OpenPanelOptions& options,
                                        Completion<std::vector<std::string>> completion) {
  auto panel = NSOpenPanel::openPanel();
  configurePanel(*panel, options.baseOptions);
  panel->setAllowsMultipleSelection(options.allowsMultipleSelection);
  panel->setCanChooseDirectories(options.canChooseDirectories);
  panel->setCanChooseFiles(options.canChooseFiles);
  panel_controller_->presentOpenPanel(
      panel, hostWindow(),
      [completion = std::move(completion)](std::optional<std::vector<NSURL>> urls) {
        std::vector<std::string> paths;
        for (const auto& url : urls.value_or(std::vector<NSURL>{})) paths.push_back(url.path());
        completion(std::move(paths));
      });
}

void FilePanelsPlugin::displaySavePanel(const SavePanelOptions& options,
                                        Completion<std::optional<std::string>> completion) {
  auto panel = NSSavePanel::savePanel();
  configurePanel(*panel, options);
  panel_controller_->presentSavePanel(
      panel, hostWindow(), [completion = std::move(completion)](std::optional<NSURL> url) {
        completion(url ? std::optional<std::string>(url->path()) : std::nullopt);
      });
}

}  // namespace file_panels_macos
