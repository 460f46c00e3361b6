// A native object inside a message: the proxy codec writes it as a reference to the object's
// identifier (announcing it first when the Dart side does not know it) and reads references back
// into the objects.
#pragma once

#include <memory>
#include <string>

#include "platform/flutter/value.h"
#include "platform/foundation/ns_object.h"

namespace wkwebview_host {

class NativeObjectValue final : public flutter::CustomValue {
 public:
  explicit NativeObjectValue(std::shared_ptr<NSObject> object)
      : object_(std::move(object)) {}

  const std::shared_ptr<NSObject>& object() const { return object_; }

  std::string typeName() const override;
  // The same object, never merely an equal one.
  bool equals(const flutter::CustomValue& other) const override;

 private:
  std::shared_ptr<NSObject> object_;
};

// The object as a message value; null for no object.
flutter::Value objectValue(std::shared_ptr<NSObject> object);

// The object that `value` carries when it is a T; null otherwise.
template <typename T>
std::shared_ptr<T> objectFromValue(const flutter::Value& value) {
  auto carried = value.asCustom<NativeObjectValue>();
  return carried ? std::dynamic_pointer_cast<T>(carried->object()) : nullptr;
}

}  // namespace wkwebview_host
