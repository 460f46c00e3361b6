#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_url_credential.h"

#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api_registrar.h"

namespace wkwebview_host {

std::vector<PigeonHostOperation> PigeonApiURLCredential::hostOperations() {
  using Api = PigeonApiURLCredential;
  return {operation("withUser", &Api::withUser), operation("withUserAsync", &Api::withUserAsync),
          operation("serverTrustAsync", &Api::serverTrustAsync)};
}

void PigeonApiURLCredential::withUser(const PigeonArguments& arguments,
                                      const PigeonHostReply& reply) {
  int64_t identifier = arguments.identifier(0);
  auto credential = pigeon_delegate_->withUser(*this, arguments.string(1), arguments.string(2),
                                               arguments.enumeration<UrlCredentialPersistence>(3));
  pigeonRegistrar().instanceManager()->registerDartObject(credential, identifier);
  reply.success();
}

void PigeonApiURLCredential::withUserAsync(const PigeonArguments& arguments,
                                           const PigeonHostReply& reply) {
  reply.success(objectValue(
      pigeon_delegate_->withUserAsync(*this, arguments.string(0), arguments.string(1),
                                      arguments.enumeration<UrlCredentialPersistence>(2))));
}

void PigeonApiURLCredential::serverTrustAsync(const PigeonArguments& arguments,
                                              const PigeonHostReply& reply) {
  reply.success(objectValue(
      pigeon_delegate_->serverTrustAsync(*this, *arguments.instance<SecTrustWrapper>(0))));
}

}  // namespace wkwebview_host
