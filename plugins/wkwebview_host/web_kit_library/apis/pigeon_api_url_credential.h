// The API "URLCredential": credentials for authentication challenges. They are announced to the
// Dart side without fields.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/ns_url_credential.h"
#include "plugins/wkwebview_host/sec_trust_wrapper.h"
#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_enumerations.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiURLCredential;

class PigeonApiDelegateURLCredential {
 public:
  using Credential = NSURLCredential;

  virtual ~PigeonApiDelegateURLCredential() = default;
  virtual std::shared_ptr<Credential> withUser(PigeonApiURLCredential& api, const std::string& user,
                                               const std::string& password,
                                               UrlCredentialPersistence persistence) = 0;
  virtual std::shared_ptr<Credential> withUserAsync(PigeonApiURLCredential& api,
                                                    const std::string& user,
                                                    const std::string& password,
                                                    UrlCredentialPersistence persistence) = 0;
  virtual std::shared_ptr<Credential> serverTrustAsync(PigeonApiURLCredential& api,
                                                       const SecTrustWrapper& trust) = 0;
};

class PigeonApiURLCredential final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "URLCredential";

  PigeonApiURLCredential(WebKitLibraryPigeonProxyApiRegistrar& registrar,
                         std::unique_ptr<PigeonApiDelegateURLCredential> delegate)
      : PigeonProxyApi(registrar, kName), pigeon_delegate_(std::move(delegate)) {}

  PigeonApiDelegateURLCredential& pigeonDelegate() const { return *pigeon_delegate_; }
  std::vector<PigeonHostOperation> hostOperations() override;

  void pigeon_newInstance(const std::shared_ptr<NSURLCredential>& pigeonInstance,
                          const PigeonCompletion& completion) {
    announce(
        pigeonInstance, [] { return flutter::ValueList(); }, completion);
  }

 private:
  void withUser(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void withUserAsync(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void serverTrustAsync(const PigeonArguments& arguments, const PigeonHostReply& reply);

  std::unique_ptr<PigeonApiDelegateURLCredential> pigeon_delegate_;
};

}  // namespace wkwebview_host
