// A view that shows web content. It is a view of the window and an object of the runtime at
// once; make it with foundation::makeObject like every other object.
#pragma once

#include <memory>

#include "platform/appkit/ns_view.h"
#include "platform/webkit/wk_web_view_configuration.h"

class WKWebView : public NSView, public foundation::NSObject {
 public:
  // A web view without a configuration gets a default one.
  WKWebView(NSRect frame, std::shared_ptr<WKWebViewConfiguration> configuration);

  const std::shared_ptr<WKWebViewConfiguration>& configuration() const { return configuration_; }

 private:
  std::shared_ptr<WKWebViewConfiguration> configuration_;
};
