// Page preferences shared by the web views of a configuration.
#pragma once

#include <atomic>

#include "platform/foundation/ns_object.h"

class WKPreferences : public NSObject {
 public:
  // Whether pages run JavaScript at all; on newer systems the webpage preferences decide.
  bool javaScriptEnabled() const { return java_script_enabled_.load(); }
  void setJavaScriptEnabled(bool enabled) { java_script_enabled_.store(enabled); }
  // Whether a script may open a window without a user's gesture.
  bool javaScriptCanOpenWindowsAutomatically() const {
    return java_script_can_open_windows_automatically_.load();
  }
  void setJavaScriptCanOpenWindowsAutomatically(bool enabled) {
    java_script_can_open_windows_automatically_.store(enabled);
  }

 private:
  std::atomic<bool> java_script_enabled_{true};
  std::atomic<bool> java_script_can_open_windows_automatically_{false};
};
