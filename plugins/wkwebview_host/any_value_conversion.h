// Foundation values as message values: collections element by element, objects as native
// objects (which the proxy codec announces or references).
#pragma once

#include "platform/flutter/value.h"
#include "platform/foundation/any_value.h"

namespace wkwebview_host {

flutter::Value toPigeonValue(const AnyValue& value);
flutter::ValueMap toPigeonMap(const AnyValue::Dictionary& dictionary);
// The same value, written into the message straight from `value` when it is encoded, so that a
// large body is never copied: the same bytes as toPigeonValue's. Nested deeper than the codec's
// nesting budget, it cannot be encoded.
flutter::Value streamedPigeonValue(std::shared_ptr<const AnyValue> value);

}  // namespace wkwebview_host
