#include "platform/appkit/testing/file_panel_controls.h"

namespace appkit::testing {

struct PanelAccess {
  static void setChosenURLs(NSSavePanel& panel, std::vector<NSURL> urls) {
    panel.chosen_urls_ = std::move(urls);
  }
};

namespace {

ShownPanel describe(const PanelSession& session) {
  return ShownPanel{session.panel, session.presentation, session.sheetWindow.lock(),
                    session.open};
}

bool end(const NSSavePanel& panel, NSModalResponse response, std::vector<NSURL> urls) {
  auto completion = FilePanelSessions::shared().end(panel);
  if (!completion) return false;
  PanelAccess::setChosenURLs(const_cast<NSSavePanel&>(panel), std::move(urls));
  if (*completion) (*completion)(response);
  return true;
}

}  // namespace

std::vector<ShownPanel> shownPanels() {
  std::vector<ShownPanel> panels;
  for (const auto& session : FilePanelSessions::shared().sessions()) {
    panels.push_back(describe(session));
  }
  return panels;
}

std::vector<ShownPanel> openPanels() {
  std::vector<ShownPanel> panels;
  for (const auto& session : FilePanelSessions::shared().sessions()) {
    if (session.open) panels.push_back(describe(session));
  }
  return panels;
}

bool confirmPanel(const NSSavePanel& panel, std::vector<NSURL> urls) {
  const auto* open_panel = dynamic_cast<const NSOpenPanel*>(&panel);
  bool single = open_panel == nullptr || !open_panel->allowsMultipleSelection();
  if (single && urls.size() > 1) return false;
  return end(panel, NSModalResponseOK, std::move(urls));
}

bool cancelPanel(const NSSavePanel& panel) { return end(panel, NSModalResponseCancel, {}); }

void queueModalAnswer(NSModalResponse response, std::vector<NSURL> urls) {
  FilePanelSessions::shared().queueModalAnswer(ModalAnswer{response, std::move(urls)});
}

void resetFilePanels() { FilePanelSessions::shared().reset(); }

}  // namespace appkit::testing
