// Foundation values as message values: collections element by element, objects as native
// objects (which the proxy codec announces or references).
#pragma once

#include "platform/flutter/value.h"
#include "platform/webkit/any_value.h"

namespace wkwebview_host {

flutter::Value toPigeonValue(const foundation::AnyValue& value);
flutter::ValueMap toPigeonMap(const foundation::AnyValue::Dictionary& dictionary);

}  // namespace wkwebview_host
