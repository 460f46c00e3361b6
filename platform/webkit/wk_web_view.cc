#include "platform/webkit/wk_web_view.h"

WKWebView::WKWebView(NSRect frame, std::shared_ptr<WKWebViewConfiguration> configuration)
    : NSView(frame),
      configuration_(configuration ? std::move(configuration)
                                   : foundation::makeObject<WKWebViewConfiguration>()) {}
