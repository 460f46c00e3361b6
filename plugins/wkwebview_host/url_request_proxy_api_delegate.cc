#include "plugins/wkwebview_host/url_request_proxy_api_delegate.h"

#include "platform/foundation/ns_url.h"
#include "plugins/wkwebview_host/web_kit_library/proxy_api_registrar.h"

namespace wkwebview_host {

std::shared_ptr<URLRequestWrapper> URLRequestProxyAPIDelegate::pigeonDefaultConstructor(
    PigeonApiURLRequest&, const std::string& url) {
  auto parsed = ::NSURL::URLWithString(url);
  if (!parsed) {
    throw ProxyAPIRegistrar::createConstructorNullError(
        "NSURL", flutter::ValueMap{{flutter::Value("string"), flutter::Value(url)}});
  }
  auto native_url = makeObject<NSURL>(parsed->absoluteString());
  return makeObject<URLRequestWrapper>(URLRequest::requestWithURL(
      std::move(native_url), NSURLRequestUseProtocolCachePolicy, 60.0));
}

std::optional<std::string> URLRequestProxyAPIDelegate::getUrl(
    PigeonApiURLRequest&, const URLRequestWrapper& pigeonInstance) {
  if (!pigeonInstance.value.url) return std::nullopt;
  return pigeonInstance.value.url->absoluteString();
}

void URLRequestProxyAPIDelegate::setHttpMethod(PigeonApiURLRequest&,
                                               URLRequestWrapper& pigeonInstance,
                                               std::optional<std::string> method) {
  pigeonInstance.value.httpMethod = std::move(method);
}

std::optional<std::string> URLRequestProxyAPIDelegate::getHttpMethod(
    PigeonApiURLRequest&, const URLRequestWrapper& pigeonInstance) {
  return pigeonInstance.value.httpMethod;
}

void URLRequestProxyAPIDelegate::setHttpBody(PigeonApiURLRequest&,
                                             URLRequestWrapper& pigeonInstance,
                                             std::optional<std::vector<uint8_t>> body) {
  pigeonInstance.value.httpBody = std::move(body);
}

std::optional<std::vector<uint8_t>> URLRequestProxyAPIDelegate::getHttpBody(
    PigeonApiURLRequest&, const URLRequestWrapper& pigeonInstance) {
  return pigeonInstance.value.httpBody;
}

void URLRequestProxyAPIDelegate::setAllHttpHeaderFields(PigeonApiURLRequest&,
                                                        URLRequestWrapper& pigeonInstance,
                                                        std::optional<HeaderFields> fields) {
  pigeonInstance.value.allHTTPHeaderFields = std::move(fields);
}

std::optional<PigeonApiDelegateURLRequest::HeaderFields>
URLRequestProxyAPIDelegate::getAllHttpHeaderFields(PigeonApiURLRequest&,
                                                   const URLRequestWrapper& pigeonInstance) {
  return pigeonInstance.value.allHTTPHeaderFields;
}

}  // namespace wkwebview_host
