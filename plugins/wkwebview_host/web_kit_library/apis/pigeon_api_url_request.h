// The API "URLRequest": requests, each held by a URLRequestWrapper. They are announced to the Dart
// side without fields.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "plugins/wkwebview_host/url_request_wrapper.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiURLRequest;

class PigeonApiDelegateURLRequest {
 public:
  using HeaderFields = std::map<std::string, std::string>;

  virtual ~PigeonApiDelegateURLRequest() = default;
  virtual std::shared_ptr<URLRequestWrapper> pigeonDefaultConstructor(PigeonApiURLRequest& api,
                                                                      const std::string& url) = 0;
  virtual std::optional<std::string> getUrl(PigeonApiURLRequest& api,
                                            const URLRequestWrapper& pigeonInstance) = 0;
  virtual void setHttpMethod(PigeonApiURLRequest& api, URLRequestWrapper& pigeonInstance,
                             std::optional<std::string> method) = 0;
  virtual std::optional<std::string> getHttpMethod(PigeonApiURLRequest& api,
                                                   const URLRequestWrapper& pigeonInstance) = 0;
  virtual void setHttpBody(PigeonApiURLRequest& api, URLRequestWrapper& pigeonInstance,
                           std::optional<std::vector<uint8_t>> body) = 0;
  virtual std::optional<std::vector<uint8_t>> getHttpBody(
      PigeonApiURLRequest& api, const URLRequestWrapper& pigeonInstance) = 0;
  virtual void setAllHttpHeaderFields(PigeonApiURLRequest& api, URLRequestWrapper& pigeonInstance,
                                      std::optional<HeaderFields> fields) = 0;
  virtual std::optional<HeaderFields> getAllHttpHeaderFields(
      PigeonApiURLRequest& api, const URLRequestWrapper& pigeonInstance) = 0;
};

class PigeonApiURLRequest final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "URLRequest";

  PigeonApiURLRequest(WebKitLibraryPigeonProxyApiRegistrar& registrar,
                      std::unique_ptr<PigeonApiDelegateURLRequest> delegate)
      : PigeonProxyApi(registrar, kName), pigeon_delegate_(std::move(delegate)) {}

  PigeonApiDelegateURLRequest& pigeonDelegate() const { return *pigeon_delegate_; }
  std::vector<PigeonHostOperation> hostOperations() override;

  void pigeon_newInstance(const std::shared_ptr<URLRequestWrapper>& pigeonInstance,
                          const PigeonCompletion& completion) {
    announce(
        pigeonInstance, [] { return flutter::ValueList(); }, completion);
  }

 private:
  void pigeonDefaultConstructor(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void getUrl(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void setHttpMethod(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void getHttpMethod(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void setHttpBody(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void getHttpBody(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void setAllHttpHeaderFields(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void getAllHttpHeaderFields(const PigeonArguments& arguments, const PigeonHostReply& reply);

  std::unique_ptr<PigeonApiDelegateURLRequest> pigeon_delegate_;
};

}  // namespace wkwebview_host
