// How other native code finds a web view that the Dart side created, by its identifier.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/flutter/flutter_plugin.h"
#include "platform/webkit/wk_web_view.h"

class HWVWebViewExternalAPI {
 public:
  // The web view the Dart side knows under `identifier`; null when the plug-in published
  // nothing on `registry`, or nothing alive under the identifier is a web view.
  static std::shared_ptr<WKWebView> webViewForIdentifier(int64_t identifier,
                                                         FlutterPluginRegistry& registry);
};
