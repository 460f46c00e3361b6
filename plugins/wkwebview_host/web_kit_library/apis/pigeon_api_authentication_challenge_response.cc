#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_authentication_challenge_response.h"

#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api_registrar.h"

namespace wkwebview_host {

// The fields are read in order, after the object has its identifier.
void PigeonApiAuthenticationChallengeResponse::pigeon_newInstance(
    const std::shared_ptr<AuthenticationChallengeResponse>& pigeonInstance,
    const PigeonCompletion& completion) {
  auto read_fields = [&] {
    auto& reader = *pigeon_delegate_;
    return flutter::listOf({enumerationValue(reader.disposition(*this, *pigeonInstance)),
                            objectValue(reader.credential(*this, *pigeonInstance))});
  };
  announce(pigeonInstance, read_fields, completion);
}

std::vector<PigeonHostOperation> PigeonApiAuthenticationChallengeResponse::hostOperations() {
  using Api = PigeonApiAuthenticationChallengeResponse;
  return {operation("pigeon_defaultConstructor", &Api::pigeonDefaultConstructor),
          operation("createAsync", &Api::createAsync)};
}

void PigeonApiAuthenticationChallengeResponse::pigeonDefaultConstructor(
    const PigeonArguments& arguments, const PigeonHostReply& reply) {
  int64_t identifier = arguments.identifier(0);
  auto response = pigeon_delegate_->pigeonDefaultConstructor(
      *this, arguments.enumeration<UrlSessionAuthChallengeDisposition>(1),
      arguments.optionalInstance<NSURLCredential>(2));
  pigeonRegistrar().instanceManager()->registerDartObject(response, identifier);
  reply.success();
}

void PigeonApiAuthenticationChallengeResponse::createAsync(const PigeonArguments& arguments,
                                                           const PigeonHostReply& reply) {
  reply.success(objectValue(pigeon_delegate_->createAsync(
      *this, arguments.enumeration<UrlSessionAuthChallengeDisposition>(0),
      arguments.optionalInstance<NSURLCredential>(1))));
}

}  // namespace wkwebview_host
