#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_http_cookie.h"

#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api_registrar.h"

namespace wkwebview_host {

std::vector<PigeonHostOperation> PigeonApiHTTPCookie::hostOperations() {
  return {operation("pigeon_defaultConstructor", &PigeonApiHTTPCookie::pigeonDefaultConstructor),
          operation("getProperties", &PigeonApiHTTPCookie::getProperties)};
}

void PigeonApiHTTPCookie::pigeonDefaultConstructor(const PigeonArguments& arguments,
                                                   const PigeonHostReply& reply) {
  int64_t identifier = arguments.identifier(0);
  const auto* map = arguments.value(1).asMap();
  if (map == nullptr) arguments.fail(1, "a map of HttpCookiePropertyKey");
  PigeonApiDelegateHTTPCookie::Properties properties;
  for (const auto& [key, value] : *map) {
    auto decoded = enumerationFromValue<HttpCookiePropertyKey>(key);
    if (!decoded) arguments.fail(1, "a map of HttpCookiePropertyKey");
    properties.emplace_back(*decoded, value);
  }
  auto cookie = pigeon_delegate_->pigeonDefaultConstructor(*this, properties);
  pigeonRegistrar().instanceManager()->registerDartObject(cookie, identifier);
  reply.success();
}

void PigeonApiHTTPCookie::getProperties(const PigeonArguments& arguments,
                                        const PigeonHostReply& reply) {
  auto properties =
      pigeon_delegate_->getProperties(*this, *arguments.instance<NSHTTPCookie>(0));
  if (!properties) {
    reply.success();
    return;
  }
  flutter::ValueMap map;
  for (auto& [key, value] : *properties) map.set(enumerationValue(key), std::move(value));
  reply.success(flutter::Value(std::move(map)));
}

}  // namespace wkwebview_host
