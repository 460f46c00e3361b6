// The API "URLAuthenticationChallenge": authentication challenges. They are announced to the Dart
// side without fields.
#pragma once

#include <memory>
#include <vector>

#include "platform/foundation/ns_url_authentication_challenge.h"
#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiURLAuthenticationChallenge;

class PigeonApiDelegateURLAuthenticationChallenge {
 public:
  virtual ~PigeonApiDelegateURLAuthenticationChallenge() = default;
  virtual std::shared_ptr<NSURLProtectionSpace> getProtectionSpace(
      PigeonApiURLAuthenticationChallenge& api,
      const NSURLAuthenticationChallenge& pigeonInstance) = 0;
};

class PigeonApiURLAuthenticationChallenge final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "URLAuthenticationChallenge";

  PigeonApiURLAuthenticationChallenge(
      WebKitLibraryPigeonProxyApiRegistrar& registrar,
      std::unique_ptr<PigeonApiDelegateURLAuthenticationChallenge> delegate)
      : PigeonProxyApi(registrar, kName), pigeon_delegate_(std::move(delegate)) {}

  PigeonApiDelegateURLAuthenticationChallenge& pigeonDelegate() const { return *pigeon_delegate_; }
  std::vector<PigeonHostOperation> hostOperations() override {
    return {
        operation("getProtectionSpace", &PigeonApiURLAuthenticationChallenge::getProtectionSpace)};
  }

  void pigeon_newInstance(
      const std::shared_ptr<NSURLAuthenticationChallenge>& pigeonInstance,
      const PigeonCompletion& completion) {
    announce(
        pigeonInstance, [] { return flutter::ValueList(); }, completion);
  }

 private:
  void getProtectionSpace(const PigeonArguments& arguments, const PigeonHostReply& reply) {
    reply.success(objectValue(pigeon_delegate_->getProtectionSpace(
        *this, *arguments.instance<NSURLAuthenticationChallenge>(0))));
  }

  std::unique_ptr<PigeonApiDelegateURLAuthenticationChallenge> pigeon_delegate_;
};

}  // namespace wkwebview_host
