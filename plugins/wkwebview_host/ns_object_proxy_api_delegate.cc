#include "plugins/wkwebview_host/ns_object_proxy_api_delegate.h"

#include "plugins/wkwebview_host/ns_object_impl.h"

namespace wkwebview_host {

NSKeyValueObservingOptions observingOptionsMask(
    const std::vector<KeyValueObservingOptions>& options) {
  NSKeyValueObservingOptions mask{};
  for (KeyValueObservingOptions option : options) {
    switch (option) {
      case KeyValueObservingOptions::newValue:
        mask |= NSKeyValueObservingOptionNew;
        break;
      case KeyValueObservingOptions::oldValue:
        mask |= NSKeyValueObservingOptionOld;
        break;
      case KeyValueObservingOptions::initialValue:
        mask |= NSKeyValueObservingOptionInitial;
        break;
      case KeyValueObservingOptions::priorNotification:
        mask |= NSKeyValueObservingOptionPrior;
        break;
    }
  }
  return mask;
}

std::shared_ptr<NSObject> NSObjectProxyAPIDelegate::pigeon_defaultConstructor(
    PigeonApiNSObject& api) {
  return makeObject<NSObjectImpl>(api.pigeonRegistrar().weak_from_this());
}

void NSObjectProxyAPIDelegate::addObserver(PigeonApiNSObject&,
                                           NSObject& pigeonInstance,
                                           const std::shared_ptr<NSObject>& observer,
                                           const std::string& keyPath,
                                           const std::vector<KeyValueObservingOptions>& options) {
  pigeonInstance.addObserver(observer, keyPath, observingOptionsMask(options), nullptr);
}

void NSObjectProxyAPIDelegate::removeObserver(PigeonApiNSObject&,
                                              NSObject& pigeonInstance,
                                              const NSObject& observer,
                                              const std::string& keyPath) {
  pigeonInstance.removeObserver(observer, keyPath);
}

}  // namespace wkwebview_host
