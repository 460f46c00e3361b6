// The API "URLProtectionSpace": protection spaces, announced to the Dart side with `host`, `port`,
// `realm`, `authenticationMethod`.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/ns_url_protection_space.h"
#include "plugins/wkwebview_host/sec_trust_wrapper.h"
#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_enumerations.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiURLProtectionSpace;

// Reads the announced fields of an object.
class PigeonApiDelegateURLProtectionSpace {
 public:
  virtual ~PigeonApiDelegateURLProtectionSpace() = default;
  virtual std::string host(PigeonApiURLProtectionSpace& api,
                           const NSURLProtectionSpace& pigeonInstance) = 0;
  virtual int64_t port(PigeonApiURLProtectionSpace& api,
                       const NSURLProtectionSpace& pigeonInstance) = 0;
  virtual std::optional<std::string> realm(
      PigeonApiURLProtectionSpace& api, const NSURLProtectionSpace& pigeonInstance) = 0;
  virtual std::string authenticationMethod(
      PigeonApiURLProtectionSpace& api, const NSURLProtectionSpace& pigeonInstance) = 0;
  virtual std::shared_ptr<SecTrustWrapper> getServerTrust(
      PigeonApiURLProtectionSpace& api, const NSURLProtectionSpace& pigeonInstance) = 0;
};

class PigeonApiURLProtectionSpace final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "URLProtectionSpace";

  PigeonApiURLProtectionSpace(WebKitLibraryPigeonProxyApiRegistrar& registrar,
                              std::unique_ptr<PigeonApiDelegateURLProtectionSpace> delegate)
      : PigeonProxyApi(registrar, kName), pigeon_delegate_(std::move(delegate)) {}

  PigeonApiDelegateURLProtectionSpace& pigeonDelegate() const { return *pigeon_delegate_; }
  std::vector<PigeonHostOperation> hostOperations() override {
    return {operation("getServerTrust", &PigeonApiURLProtectionSpace::getServerTrust)};
  }

  void pigeon_newInstance(const std::shared_ptr<NSURLProtectionSpace>& pigeonInstance,
                          const PigeonCompletion& completion);

 private:
  void getServerTrust(const PigeonArguments& arguments, const PigeonHostReply& reply) {
    reply.success(objectValue(pigeon_delegate_->getServerTrust(
        *this, *arguments.instance<NSURLProtectionSpace>(0))));
  }

  std::unique_ptr<PigeonApiDelegateURLProtectionSpace> pigeon_delegate_;
};

}  // namespace wkwebview_host
