// The API "URL": URLs. They are announced to the Dart side without fields.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/ns_url.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiURL;

class PigeonApiDelegateURL {
 public:
  virtual ~PigeonApiDelegateURL() = default;
  virtual std::string getAbsoluteString(PigeonApiURL& api,
                                        const NSURL& pigeonInstance) = 0;
};

class PigeonApiURL final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "URL";

  PigeonApiURL(WebKitLibraryPigeonProxyApiRegistrar& registrar,
               std::unique_ptr<PigeonApiDelegateURL> delegate)
      : PigeonProxyApi(registrar, kName), pigeon_delegate_(std::move(delegate)) {}

  PigeonApiDelegateURL& pigeonDelegate() const { return *pigeon_delegate_; }
  std::vector<PigeonHostOperation> hostOperations() override {
    return {operation("getAbsoluteString", &PigeonApiURL::getAbsoluteString)};
  }

  void pigeon_newInstance(const std::shared_ptr<NSURL>& pigeonInstance,
                          const PigeonCompletion& completion) {
    announce(
        pigeonInstance, [] { return flutter::ValueList(); }, completion);
  }

 private:
  void getAbsoluteString(const PigeonArguments& arguments, const PigeonHostReply& reply) {
    reply.success(flutter::Value(
        pigeon_delegate_->getAbsoluteString(*this, *arguments.instance<NSURL>(0))));
  }

  std::unique_ptr<PigeonApiDelegateURL> pigeon_delegate_;
};

}  // namespace wkwebview_host
