#include "plugins/wkwebview_host/any_value_conversion.h"

#include "platform/flutter/flutter_standard_codec.h"
#include "platform/flutter/streamed_value.h"
#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"

namespace wkwebview_host {
namespace {

uint32_t checkedCount(size_t count) {
  if (count > UINT32_MAX) throw FlutterCodecError("Value too large to encode");
  return static_cast<uint32_t>(count);
}

class StreamedAnyValue final : public flutter::StreamedValue {
 public:
  explicit StreamedAnyValue(std::shared_ptr<const AnyValue> value)
      : value_(std::move(value)) {}

  std::string typeName() const override { return "AnyValue"; }
  size_t encodedSizeHint() const override { return sizeHint(*value_); }
  void writeTo(FlutterStandardWriter& writer) const override { write(writer, *value_, 1); }

 private:
  static size_t sizeHint(const AnyValue& value) {
    constexpr size_t kHead = 1 + 5 + 7;
    if (const auto* text = value.getIf<std::string>()) return kHead + text->size();
    if (const auto* bytes = value.getIf<AnyValue::Bytes>())
      return kHead + bytes->size();
    size_t size = kHead + 16;
    if (const auto* array = value.getIf<AnyValue::Array>()) {
      for (const auto& element : *array) size += sizeHint(element);
    } else if (const auto* dictionary = value.getIf<AnyValue::Dictionary>()) {
      for (const auto& [key, element] : *dictionary) size += kHead + key.size() + sizeHint(element);
    }
    return size;
  }

  static void write(FlutterStandardWriter& writer, const AnyValue& value, int depth) {
    if (depth > kFlutterMaxNestingDepth) throw FlutterCodecError("Value is nested too deeply");
    std::visit(
        [&](const auto& v) {
          using T = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<T, std::string>) {
            writer.writeByte(FlutterStandardFieldString);
            writer.writeUTF8(v);
          } else if constexpr (std::is_same_v<T, AnyValue::Bytes>) {
            writer.writeByte(FlutterStandardFieldUInt8Data);
            writer.writeSize(checkedCount(v.size()));
            writer.writeBytes(v.data(), v.size());
          } else if constexpr (std::is_same_v<T, AnyValue::Array>) {
            writer.writeByte(FlutterStandardFieldList);
            writer.writeSize(checkedCount(v.size()));
            for (const auto& element : v) write(writer, element, depth + 1);
          } else if constexpr (std::is_same_v<T, AnyValue::Dictionary>) {
            writer.writeByte(FlutterStandardFieldMap);
            writer.writeSize(checkedCount(v.size()));
            for (const auto& [key, element] : v) {
              writer.writeByte(FlutterStandardFieldString);
              writer.writeUTF8(key);
              write(writer, element, depth + 1);
            }
          } else {
            // Scalars and objects: small, and objects are the plug-in codec's to write.
            writer.writeValue(toPigeonValue(value));
          }
        },
        value.storage());
  }

  std::shared_ptr<const AnyValue> value_;
};

}  // namespace

flutter::Value streamedPigeonValue(std::shared_ptr<const AnyValue> value) {
  return flutter::Value(std::make_shared<const StreamedAnyValue>(std::move(value)));
}

flutter::Value toPigeonValue(const AnyValue& value) {
  return std::visit(
      [](const auto& v) -> flutter::Value {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate> || std::is_same_v<T, NSNull>) {
          return flutter::Value();
        } else if constexpr (std::is_same_v<T, AnyValue::Array>) {
          flutter::ValueList list;
          list.reserve(v.size());
          for (const auto& element : v) list.push_back(toPigeonValue(element));
          return flutter::Value(std::move(list));
        } else if constexpr (std::is_same_v<T, AnyValue::Dictionary>) {
          return flutter::Value(toPigeonMap(v));
        } else if constexpr (std::is_same_v<T, std::shared_ptr<NSObject>>) {
          return objectValue(v);
        } else {
          return flutter::Value(v);
        }
      },
      value.storage());
}

flutter::ValueMap toPigeonMap(const AnyValue::Dictionary& dictionary) {
  flutter::ValueMap map;
  map.reserve(dictionary.size());
  for (const auto& [key, value] : dictionary) map.append(flutter::Value(key), toPigeonValue(value));
  return map;
}

}  // namespace wkwebview_host
