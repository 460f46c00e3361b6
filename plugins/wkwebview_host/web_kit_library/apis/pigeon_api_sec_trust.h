// The API "SecTrust": trust objects, each held by a SecTrustWrapper. They are announced to the Dart
// side without fields.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

#include "plugins/wkwebview_host/get_trust_result_response.h"
#include "plugins/wkwebview_host/sec_certificate_wrapper.h"
#include "plugins/wkwebview_host/sec_trust_wrapper.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiSecTrust;

class PigeonApiDelegateSecTrust {
 public:
  using Bytes = std::vector<uint8_t>;
  using Evaluation = std::variant<bool, PigeonError>;

  virtual ~PigeonApiDelegateSecTrust() = default;
  // Answers through `completion`, on the main thread.
  virtual void evaluateWithError(PigeonApiSecTrust& api,
                                 const std::shared_ptr<SecTrustWrapper>& trust,
                                 std::function<void(Evaluation)> completion) = 0;
  virtual std::optional<Bytes> copyExceptions(PigeonApiSecTrust& api,
                                              const SecTrustWrapper& trust) = 0;
  virtual bool setExceptions(PigeonApiSecTrust& api, const SecTrustWrapper& trust,
                             const std::optional<Bytes>& exceptions) = 0;
  virtual std::shared_ptr<GetTrustResultResponse> getTrustResult(PigeonApiSecTrust& api,
                                                                 const SecTrustWrapper& trust) = 0;
  virtual std::optional<std::vector<std::shared_ptr<SecCertificateWrapper>>> copyCertificateChain(
      PigeonApiSecTrust& api, const SecTrustWrapper& trust) = 0;
};

class PigeonApiSecTrust final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "SecTrust";

  PigeonApiSecTrust(WebKitLibraryPigeonProxyApiRegistrar& registrar,
                    std::unique_ptr<PigeonApiDelegateSecTrust> delegate)
      : PigeonProxyApi(registrar, kName), pigeon_delegate_(std::move(delegate)) {}

  PigeonApiDelegateSecTrust& pigeonDelegate() const { return *pigeon_delegate_; }
  std::vector<PigeonHostOperation> hostOperations() override;

  void pigeon_newInstance(const std::shared_ptr<SecTrustWrapper>& pigeonInstance,
                          const PigeonCompletion& completion) {
    announce(
        pigeonInstance, [] { return flutter::ValueList(); }, completion);
  }

 private:
  void evaluateWithError(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void copyExceptions(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void setExceptions(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void getTrustResult(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void copyCertificateChain(const PigeonArguments& arguments, const PigeonHostReply& reply);

  std::unique_ptr<PigeonApiDelegateSecTrust> pigeon_delegate_;
};

}  // namespace wkwebview_host
