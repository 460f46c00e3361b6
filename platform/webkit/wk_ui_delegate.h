// The protocol of an object that presents a web view's user-interface requests (new windows,
// script panels, capture permissions). Every callback is optional.
#pragma once

class WKUIDelegate {
 public:
  virtual ~WKUIDelegate() = default;
};
