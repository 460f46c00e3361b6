// What a stream captures: one display, minus some windows.
#pragma once

#include <vector>

#include "platform/screencapturekit/sc_shareable_content.h"

class SCContentFilter {
 public:
  SCContentFilter(SCDisplay display, std::vector<SCWindow> excludingWindows)
      : display_(std::move(display)), excluded_windows_(std::move(excludingWindows)) {}

  const SCDisplay& display() const { return display_; }
  const std::vector<SCWindow>& excludedWindows() const { return excluded_windows_; }

 private:
  SCDisplay display_;
  std::vector<SCWindow> excluded_windows_;
};
