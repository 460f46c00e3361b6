// The URL launcher plug-in: whether an application can open a URL, and opening it there.
#pragma once

#include <memory>

#include "platform/flutter/flutter.h"
#include "plugins/url_opener_macos/messages.g.h"
#include "plugins/url_opener_macos/system_url_handler.h"

namespace url_opener_macos {

class UrlOpenerPlugin : public FlutterPlugin, public UrlOpenerApi {
 public:
  static void registerWithRegistrar(FlutterPluginRegistrar& registrar);

  explicit UrlOpenerPlugin(std::shared_ptr<SystemURLHandler> workspace)
      : workspace_(std::move(workspace)) {}

  // An unparsable URL answers false with invalidUrl, inside a successful reply.
  ErrorOr<UrlOpenerBoolResult> canLaunchUrl(const std::string& url) override;
  ErrorOr<UrlOpenerBoolResult> launchUrl(const std::string& url) override;

 private:
  std::shared_ptr<SystemURLHandler> workspace_;
};

}  // namespace url_opener_macos
