// Screens: the displays attached to the machine, in the system's order (the first holds the menu
// bar and the origin of the global coordinates, bottom left, y growing upward).
#pragma once

#include <any>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/coregraphics/cg_geometry.h"
#include "platform/quartzcore/ca_display_link.h"

namespace appkit::testing {
struct ModelAccess;
}

using NSDeviceDescriptionKey = std::string;

// Under this key a screen's device description holds its display number (a uint32_t).
inline const NSDeviceDescriptionKey NSScreenNumber = "NSScreenNumber";

class NSScreen {
 public:
  // The attached screens, the first one first; empty when none is attached.
  static std::vector<std::shared_ptr<NSScreen>> screens();
  // The screen of the key window, else the first screen; null when none is attached.
  static std::shared_ptr<NSScreen> mainScreen();

  // The whole area of the screen.
  NSRect frame() const { return frame_; }
  // The area left for windows: the frame without the menu bar and the Dock.
  NSRect visibleFrame() const { return visible_frame_; }
  const std::map<NSDeviceDescriptionKey, std::any>& deviceDescription() const {
    return device_description_;
  }
  const std::string& localizedName() const { return localized_name_; }

  // A display link that follows this screen's refreshes.
  std::shared_ptr<CADisplayLink> displayLinkWithTarget(CADisplayLink::Action action) const {
    return CADisplayLink::displayLinkWithAction(std::move(action));
  }

 private:
  friend struct appkit::testing::ModelAccess;
  NSScreen(NSRect frame, NSRect visibleFrame, std::string localizedName,
           std::map<NSDeviceDescriptionKey, std::any> deviceDescription)
      : frame_(frame),
        visible_frame_(visibleFrame),
        localized_name_(std::move(localizedName)),
        device_description_(std::move(deviceDescription)) {}
  // The machine's one display until a test arranges others.
  static std::shared_ptr<NSScreen> builtInDisplay();
  static void setScreens(std::vector<std::shared_ptr<NSScreen>> screens);

  NSRect frame_;
  NSRect visible_frame_;
  std::string localized_name_;
  std::map<NSDeviceDescriptionKey, std::any> device_description_;
};
