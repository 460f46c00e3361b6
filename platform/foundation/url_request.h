// A URL request value: what to load and how.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/ns_url.h"

enum NSURLRequestCachePolicy : uint64_t {
  NSURLRequestUseProtocolCachePolicy = 0,
  NSURLRequestReloadIgnoringLocalCacheData = 1,
  NSURLRequestReturnCacheDataElseLoad = 2,
  NSURLRequestReturnCacheDataDontLoad = 3,
};

struct URLRequest {
  // URLs are immutable, so copies of a request share theirs.
  std::shared_ptr<const NSURL> url;
  std::optional<std::string> httpMethod;
  std::optional<std::vector<uint8_t>> httpBody;
  std::optional<std::map<std::string, std::string>> allHTTPHeaderFields;
  NSURLRequestCachePolicy cachePolicy = NSURLRequestUseProtocolCachePolicy;
  double timeoutInterval = 60.0;

  static URLRequest requestWithURL(std::shared_ptr<const NSURL> url,
                                   NSURLRequestCachePolicy cachePolicy, double timeoutInterval) {
    URLRequest request;
    request.url = std::move(url);
    request.cachePolicy = cachePolicy;
    request.timeoutInterval = timeoutInterval;
    return request;
  }
};

