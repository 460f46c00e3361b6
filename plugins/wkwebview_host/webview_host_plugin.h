// The web-view plug-in: the Dart side drives WebKit, Foundation and Security objects one by one,
// over one message-channel API per wrapped class, and embeds web views as platform views of the
// type "com.velmora.host/webview".
#pragma once

#include <memory>

#include "platform/flutter/flutter_plugin.h"
#include "plugins/wkwebview_host/web_kit_library/proxy_api_registrar.h"

namespace wkwebview_host {

class WebViewHostPlugin final : public FlutterPlugin {
 public:
  static constexpr const char* kPluginKey = "WebViewHostPlugin";
  static constexpr const char* kViewType = "com.velmora.host/webview";

  // Sets up every API on the registrar's messenger, registers the view factory and publishes the
  // plug-in under its name.
  static void registerWithRegistrar(FlutterPluginRegistrar& registrar);

  // Makes the registrar over the messenger and sets up its handlers.
  WebViewHostPlugin(std::shared_ptr<FlutterBinaryMessenger> binaryMessenger,
                    std::shared_ptr<FlutterAssetManager> assetManager);

  // Absent after detachFromEngine.
  const std::shared_ptr<ProxyAPIRegistrar>& proxyApiRegistrar() const {
    return proxy_api_registrar_;
  }

  // Stops calls to the Dart side, removes every handler, forgets every object and drops the
  // registrar. The engine is offered no detach handler, so nothing calls this while the host
  // runs.
  void detachFromEngine();

 private:
  std::shared_ptr<ProxyAPIRegistrar> proxy_api_registrar_;
};

}  // namespace wkwebview_host
