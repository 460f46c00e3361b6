// Where the file selector finds the Flutter view, and through it the host window.
#pragma once

#include <memory>

#include "platform/flutter/flutter.h"
#include "platform/flutter/flutter_view_controller.h"

namespace file_panels_macos {

class ViewProvider {
 public:
  virtual ~ViewProvider() = default;
  // The Flutter view, or null.
  virtual std::shared_ptr<NSView> view() const = 0;
};

// The registrar's view: the view of its view controller, kept weakly (the controller owns the
// engine that holds the plug-in).
class DefaultViewProvider : public ViewProvider {
 public:
  explicit DefaultViewProvider(FlutterPluginRegistrar& registrar)
      : view_controller_(registrar.viewController()) {}
  std::shared_ptr<NSView> view() const override {
    auto controller = view_controller_.lock();
    return controller ? controller->view() : nullptr;
  }

 private:
  std::weak_ptr<FlutterViewController> view_controller_;
};

}  // namespace file_panels_macos
