// The API "NSObject": plain observers that the Dart side creates, key-value observation of any
// object it holds, and the objects that no other API takes (announced without fields).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/ns_object.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_enumerations.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiNSObject;

// The host behaviour of the API.
class PigeonApiDelegateNSObject {
 public:
  virtual ~PigeonApiDelegateNSObject() = default;
  virtual std::shared_ptr<NSObject> pigeon_defaultConstructor(
      PigeonApiNSObject& api) = 0;
  virtual void addObserver(PigeonApiNSObject& api, NSObject& pigeonInstance,
                           const std::shared_ptr<NSObject>& observer,
                           const std::string& keyPath,
                           const std::vector<KeyValueObservingOptions>& options) = 0;
  virtual void removeObserver(PigeonApiNSObject& api, NSObject& pigeonInstance,
                              const NSObject& observer,
                              const std::string& keyPath) = 0;
};

class PigeonApiNSObject final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "NSObject";

  PigeonApiNSObject(WebKitLibraryPigeonProxyApiRegistrar& registrar,
                    std::unique_ptr<PigeonApiDelegateNSObject> delegate)
      : PigeonProxyApi(registrar, kName), pigeon_delegate_(std::move(delegate)) {}

  PigeonApiDelegateNSObject& pigeonDelegate() const { return *pigeon_delegate_; }
  std::vector<PigeonHostOperation> hostOperations() override;

  void pigeon_newInstance(const std::shared_ptr<NSObject>& pigeonInstance,
                          const PigeonCompletion& completion) {
    announce(
        pigeonInstance, [] { return flutter::ValueList(); }, completion);
  }
  // [observer, keyPath or null, object or null, change map or null].
  void observeValue(const std::shared_ptr<NSObject>& pigeonInstance,
                    const std::optional<std::string>& keyPath,
                    const std::shared_ptr<NSObject>& object,
                    std::optional<flutter::ValueMap> change, PigeonCompletion completion);

 private:
  void pigeon_defaultConstructor(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void addObserver(const PigeonArguments& arguments, const PigeonHostReply& reply);
  void removeObserver(const PigeonArguments& arguments, const PigeonHostReply& reply);

  std::unique_ptr<PigeonApiDelegateNSObject> pigeon_delegate_;
};

}  // namespace wkwebview_host
