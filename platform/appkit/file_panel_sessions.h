// The panels that are shown, and the answers queued for application-modal runs: the window
// server's side of NSSavePanel, which the test controls reach. Process-wide, as the window server
// is.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/appkit/ns_save_panel.h"

namespace appkit {

enum class PanelPresentation { sheet, modeless, modal };

struct PanelSession {
  std::shared_ptr<NSSavePanel> panel;
  PanelPresentation presentation = PanelPresentation::modeless;
  std::weak_ptr<NSWindow> sheetWindow;
  // Set while the panel is shown; cleared when it ends.
  NSSavePanel::CompletionHandler completion;
  bool open = false;
};

struct ModalAnswer {
  NSModalResponse response = NSModalResponseCancel;
  std::vector<NSURL> urls;
};

class FilePanelSessions {
 public:
  static FilePanelSessions& shared();

  void begin(PanelSession session);
  // Records a modal run and answers it with the queued answer, or with a cancel when none was
  // queued (the model cannot wait for a user).
  ModalAnswer runModal(std::shared_ptr<NSSavePanel> panel);
  void queueModalAnswer(ModalAnswer answer);
  // Marks the panel's session ended and hands back its completion; none when it is not open.
  std::optional<NSSavePanel::CompletionHandler> end(const NSSavePanel& panel);
  std::vector<PanelSession> sessions() const;
  void reset();

 private:
  mutable std::mutex mutex_;
  std::vector<PanelSession> sessions_;
  std::vector<ModalAnswer> modal_answers_;
};

}  // namespace appkit
