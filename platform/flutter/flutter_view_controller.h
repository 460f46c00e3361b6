// The view controller that shows a Flutter view. It owns its engine and is the plug-in registry
// of the plug-ins that run in it.
#pragma once

#include <memory>

#include "platform/appkit/ns_view_controller.h"
#include "platform/flutter/flutter_engine.h"

class FlutterViewController : public NSViewController, public FlutterPluginRegistry {
 public:
  // The size of a new Flutter view, in points.
  static constexpr CGFloat kInitialViewWidth = 1280;
  static constexpr CGFloat kInitialViewHeight = 720;

  FlutterViewController();
  ~FlutterViewController() override;

  std::shared_ptr<FlutterEngine> engine() const { return engine_; }

  std::shared_ptr<FlutterPluginRegistrar> registrarForPlugin(const std::string& pluginKey) override;
  std::shared_ptr<void> valuePublishedByPlugin(const std::string& pluginKey) override;

 protected:
  std::shared_ptr<NSView> loadView() override;

 private:
  std::shared_ptr<FlutterEngine> engine_;
};
