#include "platform/appkit/ns_screen.h"

#include <mutex>

#include "platform/appkit/ns_application.h"

namespace {

// The display arrangement is one for the whole process, as on the platform. Screens are
// immutable; a change of arrangement replaces them.
struct Arrangement {
  std::mutex mutex;
  std::vector<std::shared_ptr<NSScreen>> screens;
  bool configured = false;
};

Arrangement& arrangement() {
  static auto* const shared = new Arrangement();
  return *shared;
}

}  // namespace

std::vector<std::shared_ptr<NSScreen>> NSScreen::screens() {
  auto& shared = arrangement();
  {
    std::lock_guard lock(shared.mutex);
    if (shared.configured) return shared.screens;
  }
  auto built_in = builtInDisplay();
  std::lock_guard lock(shared.mutex);
  if (!shared.configured) {
    shared.screens = {std::move(built_in)};
    shared.configured = true;
  }
  return shared.screens;
}

std::shared_ptr<NSScreen> NSScreen::mainScreen() {
  if (auto key_window = NSApplication::sharedApplication().keyWindow()) {
    if (auto screen = key_window->screen()) return screen;
  }
  auto all = screens();
  return all.empty() ? nullptr : all.front();
}

std::shared_ptr<NSScreen> NSScreen::builtInDisplay() {
  return std::shared_ptr<NSScreen>(new NSScreen(NSMakeRect(0, 0, 1440, 900),
                                                NSMakeRect(0, 80, 1440, 795), "Built-in Display",
                                                {{NSScreenNumber, uint32_t{1}}}));
}

void NSScreen::setScreens(std::vector<std::shared_ptr<NSScreen>> screens) {
  auto& shared = arrangement();
  std::lock_guard lock(shared.mutex);
  shared.screens = std::move(screens);
  shared.configured = true;
}
