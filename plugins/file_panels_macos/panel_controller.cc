#include "plugins/file_panels_macos/panel_controller.h"

namespace file_panels_macos {
namespace {

void present(const std::shared_ptr<NSSavePanel>& panel, const std::shared_ptr<NSWindow>& window,
             std::function<void(NSModalResponse)> ended) {
  if (window) {
    panel->beginSheetModalForWindow(window, std::move(ended));
  } else {
    ended(panel->runModal());
  }
}

}  // namespace

void DefaultPanelController::presentSavePanel(
    const std::shared_ptr<NSSavePanel>& panel, const std::shared_ptr<NSWindow>& window,
    std::function<void(std::optional<NSURL>)> completion) {
  present(panel, window, [panel, completion = std::move(completion)](NSModalResponse response) {
    completion(response == NSModalResponseOK ? panel->URL() : std::nullopt);
  });
}

void DefaultPanelController::presentOpenPanel(
    const std::shared_ptr<NSOpenPanel>& panel, const std::shared_ptr<NSWindow>& window,
    std::function<void(std::optional<std::vector<NSURL>>)> completion) {
  present(panel, window, [panel, completion = std::move(completion)](NSModalResponse response) {
    if (response == NSModalResponseOK) {
      completion(panel->URLs());
    } else {
      completion(std::nullopt);
    }
  });
}

}  // namespace file_panels_macos
