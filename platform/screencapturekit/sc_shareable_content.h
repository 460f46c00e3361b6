// What the system lets the process capture: its displays and windows.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/coregraphics/cg_display.h"
#include "platform/coregraphics/cg_geometry.h"
#include "platform/foundation/ns_error.h"

inline constexpr const char* SCStreamErrorDomain = "com.apple.ScreenCaptureKit.SCStreamErrorDomain";

struct SCDisplay {
  CGDirectDisplayID displayID = 0;
  long width = 0;
  long height = 0;
  CGRect frame;
};

struct SCWindow {
  uint32_t windowID = 0;
  std::string title;
};

class SCShareableContent {
 public:
  using CompletionHandler = std::function<void(std::shared_ptr<SCShareableContent> content,
                                               std::optional<NSError> error)>;

  // Answers on a thread of the framework, never on the calling one.
  static void getShareableContentWithCompletionHandler(CompletionHandler completionHandler);

  SCShareableContent(std::vector<SCDisplay> displays, std::vector<SCWindow> windows)
      : displays_(std::move(displays)), windows_(std::move(windows)) {}

  const std::vector<SCDisplay>& displays() const { return displays_; }
  const std::vector<SCWindow>& windows() const { return windows_; }

 private:
  std::vector<SCDisplay> displays_;
  std::vector<SCWindow> windows_;
};
