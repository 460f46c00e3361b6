#include "platform/appkit/ns_save_panel.h"

#include "platform/appkit/file_panel_sessions.h"

namespace {

constexpr NSRect kPanelContentRect = {{0, 0}, {640, 420}};

}  // namespace

std::shared_ptr<NSSavePanel> NSSavePanel::savePanel() { return std::make_shared<NSSavePanel>(); }

NSSavePanel::NSSavePanel()
    : NSPanel(kPanelContentRect, NSWindowStyleMaskTitled | NSWindowStyleMaskResizable,
              NSBackingStoreBuffered, false) {}

std::optional<NSURL> NSSavePanel::URL() const {
  if (chosen_urls_.empty()) return std::nullopt;
  return chosen_urls_.front();
}

void NSSavePanel::beginSheetModalForWindow(const std::shared_ptr<NSWindow>& window,
                                           CompletionHandler handler) {
  auto self = std::static_pointer_cast<NSSavePanel>(shared_from_this());
  appkit::FilePanelSessions::shared().begin(
      {self, appkit::PanelPresentation::sheet, window, std::move(handler)});
}

void NSSavePanel::beginWithCompletionHandler(CompletionHandler handler) {
  auto self = std::static_pointer_cast<NSSavePanel>(shared_from_this());
  appkit::FilePanelSessions::shared().begin(
      {self, appkit::PanelPresentation::modeless, {}, std::move(handler)});
}

NSModalResponse NSSavePanel::runModal() {
  auto self = std::static_pointer_cast<NSSavePanel>(shared_from_this());
  appkit::ModalAnswer answer = appkit::FilePanelSessions::shared().runModal(self);
  chosen_urls_ = answer.response == NSModalResponseOK ? std::move(answer.urls)
                                                      : std::vector<NSURL>{};
  return answer.response;
}
