#include "plugins/wkwebview_host/ns_object_impl.h"

#include "plugins/wkwebview_host/key_value_observation_forwarder.h"

namespace wkwebview_host {

void NSObjectImpl::observeValueForKeyPath(
    const std::optional<std::string>& keyPath, const std::shared_ptr<NSObject>& object,
    const std::optional<AnyValue::Dictionary>& change, void* /*context*/) {
  forwardObservation(registrar_, self(), keyPath, object, change);
}

}  // namespace wkwebview_host
