// The protocol of an object that follows a web view's navigations. Every callback is optional.
#pragma once

class WKNavigationDelegate {
 public:
  virtual ~WKNavigationDelegate() = default;
};
