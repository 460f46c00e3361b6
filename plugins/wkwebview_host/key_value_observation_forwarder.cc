#include "plugins/wkwebview_host/key_value_observation_forwarder.h"

#include <array>
#include <utility>

#include "platform/foundation/ns_key_value_observing.h"
#include "plugins/wkwebview_host/any_value_conversion.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_ns_object.h"
#include "plugins/wkwebview_host/web_kit_library/proxy_api_registrar.h"

namespace wkwebview_host {
namespace {

KeyValueChangeKey changeKey(const std::string& key) {
  // Tested in this order; the first match wins.
  static const std::array<std::pair<const char*, KeyValueChangeKey>, 5> kKeys = {{
      {NSKeyValueChangeKindKey, KeyValueChangeKey::kind},
      {NSKeyValueChangeIndexesKey, KeyValueChangeKey::indexes},
      {NSKeyValueChangeNewKey, KeyValueChangeKey::newValue},
      {NSKeyValueChangeOldKey, KeyValueChangeKey::oldValue},
      {NSKeyValueChangeNotificationIsPriorKey, KeyValueChangeKey::notificationIsPrior},
  }};
  for (const auto& [platform_key, change_key] : kKeys) {
    if (key == platform_key) return change_key;
  }
  return KeyValueChangeKey::unknown;
}

}  // namespace

flutter::ValueMap convertKeyValueChange(const AnyValue::Dictionary& change) {
  flutter::ValueMap map;
  for (const auto& [key, value] : change) {
    map.set(enumerationValue(changeKey(key)), toPigeonValue(value));
  }
  return map;
}

void forwardObservation(const std::weak_ptr<WebKitLibraryPigeonProxyApiRegistrar>& registrar,
                        const std::shared_ptr<NSObject>& observer,
                        const std::optional<std::string>& keyPath,
                        const std::shared_ptr<NSObject>& object,
                        const std::optional<AnyValue::Dictionary>& change) {
  std::optional<flutter::ValueMap> converted;
  if (change) converted = convertKeyValueChange(*change);
  auto owner = registrar.lock();
  auto* proxy_registrar = owner ? ProxyAPIRegistrar::from(*owner) : nullptr;
  if (proxy_registrar == nullptr) return;
  proxy_registrar->dispatchOnMainThread(
      [registrar, observer, keyPath, object,
       converted = std::move(converted)](const PigeonFailureReporter& reportFailure) {
        auto owner = registrar.lock();
        if (!owner) return;
        auto api = owner->apiDelegate().pigeonApiNSObject(*owner);
        api->observeValue(observer, keyPath, object, converted,
                          [reportFailure](const PigeonResult& result) {
                            if (const auto* error = std::get_if<PigeonError>(&result)) {
                              reportFailure("NSObject.observeValue", *error);
                            }
                          });
      });
}

}  // namespace wkwebview_host
