// Requests of the Dart side: built from URL text (the protocol's cache policy, 60 seconds'
// timeout) and read or changed in place.
#pragma once

#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_url_request.h"

namespace wkwebview_host {

class URLRequestProxyAPIDelegate final : public PigeonApiDelegateURLRequest {
 public:
  // Text that is not a URL is the "ConstructorReturnedNullError" for `NSURL`.
  std::shared_ptr<URLRequestWrapper> pigeonDefaultConstructor(PigeonApiURLRequest& api,
                                                              const std::string& url) override;
  std::optional<std::string> getUrl(PigeonApiURLRequest& api,
                                    const URLRequestWrapper& pigeonInstance) override;
  void setHttpMethod(PigeonApiURLRequest& api, URLRequestWrapper& pigeonInstance,
                     std::optional<std::string> method) override;
  std::optional<std::string> getHttpMethod(PigeonApiURLRequest& api,
                                           const URLRequestWrapper& pigeonInstance) override;
  void setHttpBody(PigeonApiURLRequest& api, URLRequestWrapper& pigeonInstance,
                   std::optional<std::vector<uint8_t>> body) override;
  std::optional<std::vector<uint8_t>> getHttpBody(PigeonApiURLRequest& api,
                                                  const URLRequestWrapper& pigeonInstance) override;
  void setAllHttpHeaderFields(PigeonApiURLRequest& api, URLRequestWrapper& pigeonInstance,
                              std::optional<HeaderFields> fields) override;
  std::optional<HeaderFields> getAllHttpHeaderFields(
      PigeonApiURLRequest& api, const URLRequestWrapper& pigeonInstance) override;
};

}  // namespace wkwebview_host
