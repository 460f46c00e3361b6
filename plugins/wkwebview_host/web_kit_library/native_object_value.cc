#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"

namespace wkwebview_host {

std::string NativeObjectValue::typeName() const { return object_ ? object_->description() : "nil"; }

bool NativeObjectValue::equals(const flutter::CustomValue& other) const {
  const auto* native = dynamic_cast<const NativeObjectValue*>(&other);
  if (native == nullptr) return false;
  if (!object_ || !native->object_) return object_ == native->object_;
  return object_->serial() == native->object_->serial();
}

flutter::Value objectValue(std::shared_ptr<NSObject> object) {
  if (!object) return flutter::Value();
  return flutter::Value(std::make_shared<NativeObjectValue>(std::move(object)));
}

}  // namespace wkwebview_host
