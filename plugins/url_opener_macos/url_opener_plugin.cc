#include "plugins/url_opener_macos/url_opener_plugin.h"

namespace url_opener_macos {
namespace {

const UrlOpenerBoolResult kInvalidUrl{false, UrlOpenerError::invalidUrl};

}  // namespace

void UrlOpenerPlugin::registerWithRegistrar(FlutterPluginRegistrar& registrar) {
  auto plugin = std::make_shared<UrlOpenerPlugin>(
      std::make_shared<WorkspaceURLHandler>(NSWorkspace::sharedWorkspace()));
  UrlOpenerApiSetup::setUp(registrar.messenger(), plugin, "");
}

ErrorOr<UrlOpenerBoolResult> UrlOpenerPlugin::canLaunchUrl(const std::string& url) {
  auto parsed = NSURL::URLWithString(url);
  if (!parsed || url.empty()) return kInvalidUrl;
  return UrlOpenerBoolResult{workspace_->URLForApplicationToOpenURL(*parsed).has_value(),
                             std::nullopt};
}

ErrorOr<UrlOpenerBoolResult> UrlOpenerPlugin::launchUrl(const std::string& url) {
  auto parsed = NSURL::URLWithString(url);
  if (!parsed || url.empty()) return kInvalidUrl;
  return UrlOpenerBoolResult{workspace_->openURL(*parsed), std::nullopt};
}

}  // namespace url_opener_macos
