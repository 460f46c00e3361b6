// The end-to-end fixture host: an application with one window whose Flutter view serves the
// fixture's channels (and DART_SIDE_SOCKET, like the real host), under the host's signal policy:
// SIGTERM closes the window.
#include <cstdlib>

#include "host/signal_policy.h"
#include "host/standard_descriptors.h"
#include "platform/appkit/ns_application.h"
#include "platform/flutter/flutter_app_delegate.h"
#include "platform/flutter/flutter_view_controller.h"
#include "tests/e2e/fixture_host/fixture_channels.h"

namespace {

class FixtureDelegate : public FlutterAppDelegate {
 public:
  bool applicationShouldTerminateAfterLastWindowClosed(NSApplication&) override { return true; }
};

class FixtureWindow : public NSWindow {
 public:
  using NSWindow::NSWindow;

  void awakeFromNib() override {
    auto controller = std::make_shared<FlutterViewController>();
    setContentViewController(controller);
    channels_ = std::make_unique<e2e_fixture::FixtureChannels>(
        controller->engine()->binaryMessenger());
    NSWindow::awakeFromNib();
  }

 private:
  std::unique_ptr<e2e_fixture::FixtureChannels> channels_;
};

}  // namespace

int main(int argc, const char* argv[]) {
  host::openMissingStandardDescriptors();
  host::installSignalPolicy();
  NSInterfaceDescription description;
  description.makeDelegate = [] { return std::make_shared<FixtureDelegate>(); };
  description.makeMainWindow = [](NSRect rect, NSWindowStyleMask style, NSBackingStoreType backing,
                                  bool defer) {
    return std::make_shared<FixtureWindow>(rect, style, backing, defer);
  };
  description.mainWindowTitle = "End-to-end fixture";
  std::exit(NSApplicationMain(argc, argv, description));
}
