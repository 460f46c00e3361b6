#include "platform/appkit/ns_view_controller.h"

std::shared_ptr<NSView> NSViewController::view() {
  if (!view_) view_ = loadView();
  return view_;
}

std::shared_ptr<NSView> NSViewController::loadView() { return std::make_shared<NSView>(); }
