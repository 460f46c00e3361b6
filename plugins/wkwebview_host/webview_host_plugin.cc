#include "plugins/wkwebview_host/webview_host_plugin.h"

#include "plugins/wkwebview_host/flutter_view_factory.h"

namespace wkwebview_host {

void WebViewHostPlugin::registerWithRegistrar(FlutterPluginRegistrar& registrar) {
  // The key of the empty asset is the prefix that the engine gives every asset's key.
  auto asset_manager = std::make_shared<FlutterAssetManager>(NSBundle::mainBundle(),
                                                             registrar.lookupKeyForAsset(""));
  auto plugin =
      std::make_shared<WebViewHostPlugin>(registrar.messenger(), std::move(asset_manager));
  registrar.registerViewFactory(
      std::make_shared<FlutterViewFactory>(plugin->proxyApiRegistrar()->instanceManager()),
      kViewType);
  registrar.publish(std::static_pointer_cast<FlutterPlugin>(plugin));
}

WebViewHostPlugin::WebViewHostPlugin(std::shared_ptr<FlutterBinaryMessenger> binaryMessenger,
                                     std::shared_ptr<FlutterAssetManager> assetManager)
    : proxy_api_registrar_(std::make_shared<ProxyAPIRegistrar>(std::move(binaryMessenger),
                                                               std::move(assetManager))) {
  proxy_api_registrar_->setUp();
}

void WebViewHostPlugin::detachFromEngine() {
  if (!proxy_api_registrar_) return;
  proxy_api_registrar_->setIgnoreCallsToDart(true);
  proxy_api_registrar_->tearDown();
  proxy_api_registrar_->instanceManager()->clearAll();
  proxy_api_registrar_.reset();
}

}  // namespace wkwebview_host
