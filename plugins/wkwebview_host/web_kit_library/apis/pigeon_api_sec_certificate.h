// The API "SecCertificate": certificates, each held by a SecCertificateWrapper. They are announced
// to the Dart side without fields.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "plugins/wkwebview_host/sec_certificate_wrapper.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiSecCertificate;

class PigeonApiDelegateSecCertificate {
 public:
  virtual ~PigeonApiDelegateSecCertificate() = default;
  // The certificate's DER bytes.
  virtual std::vector<uint8_t> copyData(PigeonApiSecCertificate& api,
                                        const SecCertificateWrapper& certificate) = 0;
};

class PigeonApiSecCertificate final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "SecCertificate";

  PigeonApiSecCertificate(WebKitLibraryPigeonProxyApiRegistrar& registrar,
                          std::unique_ptr<PigeonApiDelegateSecCertificate> delegate)
      : PigeonProxyApi(registrar, kName), pigeon_delegate_(std::move(delegate)) {}

  PigeonApiDelegateSecCertificate& pigeonDelegate() const { return *pigeon_delegate_; }
  std::vector<PigeonHostOperation> hostOperations() override {
    return {operation("copyData", &PigeonApiSecCertificate::copyData)};
  }

  void pigeon_newInstance(const std::shared_ptr<SecCertificateWrapper>& pigeonInstance,
                          const PigeonCompletion& completion) {
    announce(
        pigeonInstance, [] { return flutter::ValueList(); }, completion);
  }

 private:
  void copyData(const PigeonArguments& arguments, const PigeonHostReply& reply) {
    reply.success(flutter::Value(
        pigeon_delegate_->copyData(*this, *arguments.instance<SecCertificateWrapper>(0))));
  }

  std::unique_ptr<PigeonApiDelegateSecCertificate> pigeon_delegate_;
};

}  // namespace wkwebview_host
