#include "plugins/screen_geometry/display_maps.h"

#include "platform/foundation/ns_process_info.h"

namespace screen_geometry {

namespace {

flutter::ValueMap sizeMap(NSSize size) { return {{"width", size.width}, {"height", size.height}}; }

}  // namespace

std::string displayId(const NSScreen& screen) {
  const auto& description = screen.deviceDescription();
  auto found = description.find(NSScreenNumber);
  const uint32_t* number =
      found == description.end() ? nullptr : std::any_cast<uint32_t>(&found->second);
  return std::to_string(number != nullptr ? *number : 0);
}

flutter::ValueMap displayMap(const NSScreen& screen, CGFloat firstScreenHeight) {
  // Names of displays came with 10.15.
  bool has_names = NSProcessInfo::processInfo().isOperatingSystemAtLeastVersion({10, 15, 0});
  NSRect frame = screen.frame();
  NSRect visible = screen.visibleFrame();
  return {
      {"id", displayId(screen)},
      {"name", has_names ? screen.localizedName() : std::string()},
      {"size", sizeMap(frame.size)},
      {"visiblePosition",
       pointMap(visible.origin.x, firstScreenHeight - visible.origin.y - visible.size.height)},
      {"visibleSize", sizeMap(visible.size)},
  };
}

flutter::ValueMap pointMap(CGFloat dx, CGFloat dy) { return {{"dx", dx}, {"dy", dy}}; }

}  // namespace screen_geometry
