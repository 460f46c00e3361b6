// The API "AuthenticationChallengeResponse": answers to authentication challenges, announced to the
// Dart side with `disposition`, `credential`.
#pragma once

#include <memory>
#include <vector>

#include "plugins/wkwebview_host/authentication_challenge_response.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_enumerations.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiAuthenticationChallengeResponse;

// Makes responses and reads the announced fields of one.
class PigeonApiDelegateAuthenticationChallengeResponse {
 public:
  virtual ~PigeonApiDelegateAuthenticationChallengeResponse() = default;
  virtual std::shared_ptr<AuthenticationChallengeResponse> pigeonDefaultConstructor(
      PigeonApiAuthenticationChallengeResponse& api, UrlSessionAuthChallengeDisposition disposition,
      std::shared_ptr<NSURLCredential> credential) = 0;
  virtual std::shared_ptr<AuthenticationChallengeResponse> createAsync(
      PigeonApiAuthenticationChallengeResponse& api, UrlSessionAuthChallengeDisposition disposition,
      std::shared_ptr<NSURLCredential> credential) = 0;
  virtual UrlSessionAuthChallengeDisposition disposition(
      PigeonApiAuthenticationChallengeResponse& api,
      const AuthenticationChallengeResponse& pigeonInstance) = 0;
  virtual std::shared_ptr<NSURLCredential> credential(
      PigeonApiAuthenticationChallengeResponse& api,
      const AuthenticationChallengeResponse& pigeonInstance) = 0;
};

class PigeonApiAuthenticationChallengeResponse final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "AuthenticationChallengeResponse";

  PigeonApiAuthenticationChallengeResponse(
      WebKitLibraryPigeonProxyApiRegistrar& registrar,
      std::unique_ptr<PigeonApiDelegateAuthenticationChallengeResponse> delegate)
      : PigeonProxyApi(registrar, kName), pigeon_delegate_(std::move(delegate)) {}

  PigeonApiDelegateAuthenticationChallengeResponse& pigeonDelegate() const {
    return *pigeon_delegate_;
  }
  std::vector<PigeonHostOperation> hostOperations() override;

  void pigeon_newInstance(const std::shared_ptr<AuthenticationChallengeResponse>& pigeonInstance,
                          const PigeonCompletion& completion);

 private:
  void pigeonDefaultConstructor(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void createAsync(const PigeonArguments& arguments, const PigeonHostReply& reply);

  std::unique_ptr<PigeonApiDelegateAuthenticationChallengeResponse> pigeon_delegate_;
};

}  // namespace wkwebview_host
