#include "plugins/wkwebview_host/ns_object_proxy_api_delegate.h"

#include "plugins/wkwebview_host/ns_object_impl.h"

namespace wkwebview_host {

foundation::NSKeyValueObservingOptions observingOptionsMask(
    const std::vector<KeyValueObservingOptions>& options) {
  foundation::NSKeyValueObservingOptions mask = 0;
  for (KeyValueObservingOptions option : options) {
    switch (option) {
      case KeyValueObservingOptions::newValue:
        mask |= foundation::NSKeyValueObservingOptionNew;
        break;
      case KeyValueObservingOptions::oldValue:
        mask |= foundation::NSKeyValueObservingOptionOld;
        break;
      case KeyValueObservingOptions::initialValue:
        mask |= foundation::NSKeyValueObservingOptionInitial;
        break;
      case KeyValueObservingOptions::priorNotification:
        mask |= foundation::NSKeyValueObservingOptionPrior;
        break;
    }
  }
  return mask;
}

std::shared_ptr<foundation::NSObject> NSObjectProxyAPIDelegate::pigeon_defaultConstructor(
    PigeonApiNSObject& api) {
  return foundation::makeObject<NSObjectImpl>(api.pigeonRegistrar().weak_from_this());
}

void NSObjectProxyAPIDelegate::addObserver(PigeonApiNSObject&,
                                           foundation::NSObject& pigeonInstance,
                                           const std::shared_ptr<foundation::NSObject>& observer,
                                           const std::string& keyPath,
                                           const std::vector<KeyValueObservingOptions>& options) {
  pigeonInstance.addObserver(observer, keyPath, observingOptionsMask(options), nullptr);
}

void NSObjectProxyAPIDelegate::removeObserver(PigeonApiNSObject&,
                                              foundation::NSObject& pigeonInstance,
                                              const foundation::NSObject& observer,
                                              const std::string& keyPath) {
  pigeonInstance.removeObserver(observer, keyPath);
}

}  // namespace wkwebview_host
