// The observation callback that the plain observer and the web view share: the change map is
// converted where the platform reported it, and `observeValue` goes to the Dart side on a later
// turn of the main queue.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/flutter/value.h"
#include "platform/foundation/any_value.h"
#include "platform/foundation/ns_object.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api_registrar.h"

namespace wkwebview_host {

// Each platform key becomes a `KeyValueChangeKey` (any key it does not know becomes `unknown`,
// the last of several winning); values stay as they are, the kind a plain number.
flutter::ValueMap convertKeyValueChange(const AnyValue::Dictionary& change);

// `observer` keeps itself alive until the call has been made.
void forwardObservation(const std::weak_ptr<WebKitLibraryPigeonProxyApiRegistrar>& registrar,
                        const std::shared_ptr<NSObject>& observer,
                        const std::optional<std::string>& keyPath,
                        const std::shared_ptr<NSObject>& object,
                        const std::optional<AnyValue::Dictionary>& change);

}  // namespace wkwebview_host
