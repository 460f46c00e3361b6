#include "plugins/wkwebview_host/any_value_conversion.h"

#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"

namespace wkwebview_host {

flutter::Value toPigeonValue(const foundation::AnyValue& value) {
  return std::visit(
      [](const auto& v) -> flutter::Value {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate> || std::is_same_v<T, foundation::NSNull>) {
          return flutter::Value();
        } else if constexpr (std::is_same_v<T, foundation::AnyValue::Array>) {
          flutter::ValueList list;
          list.reserve(v.size());
          for (const auto& element : v) list.push_back(toPigeonValue(element));
          return flutter::Value(std::move(list));
        } else if constexpr (std::is_same_v<T, foundation::AnyValue::Dictionary>) {
          return flutter::Value(toPigeonMap(v));
        } else if constexpr (std::is_same_v<T, std::shared_ptr<foundation::NSObject>>) {
          return objectValue(v);
        } else {
          return flutter::Value(v);
        }
      },
      value.storage());
}

flutter::ValueMap toPigeonMap(const foundation::AnyValue::Dictionary& dictionary) {
  flutter::ValueMap map;
  map.reserve(dictionary.size());
  for (const auto& [key, value] : dictionary) map.append(flutter::Value(key), toPigeonValue(value));
  return map;
}

}  // namespace wkwebview_host
