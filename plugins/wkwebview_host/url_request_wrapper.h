// One mutable request that the Dart side can name: requests are values, so an object holds one
// for the instance manager and the channels.
#pragma once

#include "platform/webkit/ns_object.h"
#include "platform/webkit/url_request.h"

namespace wkwebview_host {

class URLRequestWrapper final : public foundation::NSObject {
 public:
  explicit URLRequestWrapper(foundation::URLRequest value) : value(std::move(value)) {}

  // Read and changed in place, on the main thread.
  foundation::URLRequest value;
};

}  // namespace wkwebview_host
