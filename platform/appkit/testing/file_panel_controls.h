// Test controls for open and save panels: see which panels were shown, how and with which
// settings, and answer them as the user would.
#pragma once

#include <memory>
#include <vector>

#include "platform/appkit/file_panel_sessions.h"
#include "platform/appkit/ns_open_panel.h"
#include "platform/appkit/ns_save_panel.h"

namespace appkit::testing {

using appkit::PanelPresentation;

struct ShownPanel {
  std::shared_ptr<NSSavePanel> panel;
  PanelPresentation presentation;
  // The window a sheet is attached to; null for the other presentations.
  std::shared_ptr<NSWindow> sheetWindow;
  // Whether it still waits for the user (modal runs have always ended).
  bool open;
};

// The panels shown since the last reset, in the order they were shown (the most recent 64 that
// have ended, and every open one).
std::vector<ShownPanel> shownPanels();
// The panels still waiting for the user.
std::vector<ShownPanel> openPanels();

// Ends a shown panel with OK and the chosen URLs, calling its completion. False (and nothing
// happens) when the panel is not open, or when it is a single-selection open panel given several
// URLs.
bool confirmPanel(const NSSavePanel& panel, std::vector<NSURL> urls);
// Ends a shown panel with a cancel. False when the panel is not open.
bool cancelPanel(const NSSavePanel& panel);

// The user's answer to the next runModal, queued ahead because a modal run returns only once the
// user has closed the panel. Without a queued answer a modal run is cancelled.
void queueModalAnswer(NSModalResponse response, std::vector<NSURL> urls = {});

// Forgets the shown panels (releasing their completions unanswered) and the queued answers.
void resetFilePanels();

}  // namespace appkit::testing
