// One mutable request that the Dart side can name: requests are values, so an object holds one
// for the instance manager and the channels.
#pragma once

#include "platform/foundation/ns_object.h"
#include "platform/foundation/url_request.h"

namespace wkwebview_host {

class URLRequestWrapper final : public NSObject {
 public:
  explicit URLRequestWrapper(URLRequest value) : value(std::move(value)) {}

  // Read and changed in place, on the main thread.
  URLRequest value;
};

}  // namespace wkwebview_host
