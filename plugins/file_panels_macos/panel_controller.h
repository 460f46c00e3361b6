// Shows a configured panel and reports what the user chose, once.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/appkit/ns_open_panel.h"
#include "platform/appkit/ns_save_panel.h"

namespace file_panels_macos {

class PanelController {
 public:
  virtual ~PanelController() = default;
  virtual void presentSavePanel(const std::shared_ptr<NSSavePanel>& panel,
                                const std::shared_ptr<NSWindow>& window,
                                std::function<void(std::optional<NSURL>)> completion) = 0;
  virtual void presentOpenPanel(const std::shared_ptr<NSOpenPanel>& panel,
                                const std::shared_ptr<NSWindow>& window,
                                std::function<void(std::optional<std::vector<NSURL>>)> completion) = 0;
};

// A sheet on the window when there is one; otherwise an application-modal run.
class DefaultPanelController : public PanelController {
 public:
  void presentSavePanel(const std::shared_ptr<NSSavePanel>& panel,
                        const std::shared_ptr<NSWindow>& window,
                        std::function<void(std::optional<NSURL>)> completion) override;
  void presentOpenPanel(const std::shared_ptr<NSOpenPanel>& panel,
                        const std::shared_ptr<NSWindow>& window,
                        std::function<void(std::optional<std::vector<NSURL>>)> completion) override;
};

}  // namespace file_panels_macos
