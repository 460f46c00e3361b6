// Images as the window system shows them: a size in points and an optional name.
#pragma once

#include <string>

#include "platform/coregraphics/cg_geometry.h"

using NSImageName = std::string;

inline const NSImageName NSImageNameApplicationIcon = "NSApplicationIcon";

class NSImage {
 public:
  explicit NSImage(NSSize size, NSImageName name = {}) : size_(size), name_(std::move(name)) {}

  NSSize size() const { return size_; }
  const NSImageName& name() const { return name_; }

 private:
  NSSize size_;
  NSImageName name_;
};
