// The API "NSError": errors, announced to the Dart side with `code`, `domain`, `userInfo`.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/foundation/ns_error.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_enumerations.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiNSError;

// Reads the announced fields of an object.
class PigeonApiDelegateNSError {
 public:
  virtual ~PigeonApiDelegateNSError() = default;
  virtual int64_t code(PigeonApiNSError& api, const NSError& pigeonInstance) = 0;
  virtual std::string domain(PigeonApiNSError& api, const NSError& pigeonInstance) = 0;
  virtual flutter::ValueMap userInfo(PigeonApiNSError& api,
                                     const NSError& pigeonInstance) = 0;
};

class PigeonApiNSError final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "NSError";

  PigeonApiNSError(WebKitLibraryPigeonProxyApiRegistrar& registrar,
                   std::unique_ptr<PigeonApiDelegateNSError> delegate)
      : PigeonProxyApi(registrar, kName), pigeon_delegate_(std::move(delegate)) {}

  PigeonApiDelegateNSError& pigeonDelegate() const { return *pigeon_delegate_; }

  void pigeon_newInstance(const std::shared_ptr<NSError>& pigeonInstance,
                          const PigeonCompletion& completion);

 private:
  std::unique_ptr<PigeonApiDelegateNSError> pigeon_delegate_;
};

}  // namespace wkwebview_host
