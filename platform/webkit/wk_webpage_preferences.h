// Preferences that apply to one navigation's page.
#pragma once

#include <atomic>

#include "platform/foundation/ns_object.h"

class WKWebpagePreferences : public NSObject {
 public:
  // Whether the page's own scripts run; scripts of the application (user scripts, evaluated
  // JavaScript) run either way.
  bool allowsContentJavaScript() const { return allows_content_java_script_.load(); }
  void setAllowsContentJavaScript(bool allow) { allows_content_java_script_.store(allow); }

 private:
  std::atomic<bool> allows_content_java_script_{true};
};
