// The metadata of a response to a URL load.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/ns_url.h"

class NSURLResponse : public NSObject {
 public:
  NSURLResponse(std::shared_ptr<const NSURL> url, std::optional<std::string> mimeType)
      : url_(std::move(url)), mime_type_(std::move(mimeType)) {}

  const std::shared_ptr<const NSURL>& URL() const { return url_; }
  const std::optional<std::string>& MIMEType() const { return mime_type_; }

 private:
  std::shared_ptr<const NSURL> url_;
  std::optional<std::string> mime_type_;
};

