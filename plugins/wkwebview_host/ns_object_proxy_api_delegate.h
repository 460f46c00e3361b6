// The host behaviour of the API "NSObject": plain observers, and observations registered on any
// object with the option mask built from the Dart side's list.
#pragma once

#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_ns_object.h"

namespace wkwebview_host {

class NSObjectProxyAPIDelegate final : public PigeonApiDelegateNSObject {
 public:
  std::shared_ptr<NSObject> pigeon_defaultConstructor(PigeonApiNSObject& api) override;
  void addObserver(PigeonApiNSObject& api, NSObject& pigeonInstance,
                   const std::shared_ptr<NSObject>& observer,
                   const std::string& keyPath,
                   const std::vector<KeyValueObservingOptions>& options) override;
  // One never added is ignored.
  void removeObserver(PigeonApiNSObject& api, NSObject& pigeonInstance,
                      const NSObject& observer, const std::string& keyPath) override;
};

// The bitwise OR of the platform options of the list; repeated cases change nothing.
NSKeyValueObservingOptions observingOptionsMask(
    const std::vector<KeyValueObservingOptions>& options);

}  // namespace wkwebview_host
