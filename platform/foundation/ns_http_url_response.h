// The response to an HTTP load: a URL response with a status code and header fields.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "platform/foundation/ns_url_response.h"

class NSHTTPURLResponse : public NSURLResponse {
 public:
  NSHTTPURLResponse(std::shared_ptr<const NSURL> url, int64_t statusCode,
                    std::map<std::string, std::string> headerFields = {})
      : NSURLResponse(std::move(url), std::nullopt),
        status_code_(statusCode),
        header_fields_(std::move(headerFields)) {}

  int64_t statusCode() const { return status_code_; }
  const std::map<std::string, std::string>& allHeaderFields() const { return header_fields_; }

 private:
  int64_t status_code_;
  std::map<std::string, std::string> header_fields_;
};

