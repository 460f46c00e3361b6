#include "host/main_interface.h"

#include "host/app_delegate.h"
#include "host/main_flutter_window.h"

NSInterfaceDescription mainInterfaceDescription() {
  NSInterfaceDescription description;
  description.makeDelegate = [] { return std::make_shared<AppDelegate>(); };
  description.makeMainWindow = [](NSRect contentRect, NSWindowStyleMask style,
                                  NSBackingStoreType backing, bool defer) {
    return std::make_shared<MainFlutterWindow>(contentRect, style, backing, defer);
  };
  description.mainWindowContentRect = NSMakeRect(335, 390, 800, 600);
  description.mainWindowTitle = "Tavilo Desk";
  return description;
}
