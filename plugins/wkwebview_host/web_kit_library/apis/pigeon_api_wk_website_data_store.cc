#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_website_data_store.h"

#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api_registrar.h"

namespace wkwebview_host {

std::vector<PigeonHostOperation> PigeonApiWKWebsiteDataStore::hostOperations() {
  using Api = PigeonApiWKWebsiteDataStore;
  return {operation("defaultDataStore", &Api::defaultDataStore),
          operation("httpCookieStore", &Api::httpCookieStore),
          operation("removeDataOfTypes", &Api::removeDataOfTypes)};
}

void PigeonApiWKWebsiteDataStore::defaultDataStore(const PigeonArguments& arguments,
                                                   const PigeonHostReply& reply) {
  int64_t identifier = arguments.identifier(0);
  pigeonRegistrar().instanceManager()->registerDartObject(pigeon_delegate_->defaultDataStore(*this),
                                                          identifier);
  reply.success();
}

void PigeonApiWKWebsiteDataStore::httpCookieStore(const PigeonArguments& arguments,
                                                  const PigeonHostReply& reply) {
  auto store = arguments.instance<WKWebsiteDataStore>(0);
  int64_t identifier = arguments.identifier(1);
  pigeonRegistrar().instanceManager()->registerDartObject(
      pigeon_delegate_->httpCookieStore(*this, *store), identifier);
  reply.success();
}

void PigeonApiWKWebsiteDataStore::removeDataOfTypes(const PigeonArguments& arguments,
                                                    const PigeonHostReply& reply) {
  auto store = arguments.instance<WKWebsiteDataStore>(0);
  auto types = arguments.enumerations<WebsiteDataType>(1);
  double seconds = arguments.finiteNumber(2);
  pigeon_delegate_->removeDataOfTypes(*this, store, types, seconds, [reply](bool removed) {
    reply.success(flutter::Value(removed));
  });
}

}  // namespace wkwebview_host
