#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_ns_object.h"

#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_delegate_constructor.h"

namespace wkwebview_host {

std::vector<PigeonHostOperation> PigeonApiNSObject::hostOperations() {
  return {operation("pigeon_defaultConstructor", &PigeonApiNSObject::pigeon_defaultConstructor),
          operation("addObserver", &PigeonApiNSObject::addObserver),
          operation("removeObserver", &PigeonApiNSObject::removeObserver)};
}

void PigeonApiNSObject::pigeon_defaultConstructor(const PigeonArguments& arguments,
                                                  const PigeonHostReply& reply) {
  constructDartObject(arguments, reply, pigeonRegistrar(),
                      [this] { return pigeon_delegate_->pigeon_defaultConstructor(*this); });
}

void PigeonApiNSObject::addObserver(const PigeonArguments& arguments,
                                    const PigeonHostReply& reply) {
  auto pigeon_instance = arguments.instance<NSObject>(0);
  auto observer = arguments.instance<NSObject>(1);
  std::string key_path = arguments.string(2);
  auto options = arguments.enumerations<KeyValueObservingOptions>(3);
  pigeon_delegate_->addObserver(*this, *pigeon_instance, observer, key_path, options);
  reply.success();
}

void PigeonApiNSObject::removeObserver(const PigeonArguments& arguments,
                                       const PigeonHostReply& reply) {
  auto pigeon_instance = arguments.instance<NSObject>(0);
  auto observer = arguments.instance<NSObject>(1);
  std::string key_path = arguments.string(2);
  pigeon_delegate_->removeObserver(*this, *pigeon_instance, *observer, key_path);
  reply.success();
}

void PigeonApiNSObject::observeValue(const std::shared_ptr<NSObject>& pigeonInstance,
                                     const std::optional<std::string>& keyPath,
                                     const std::shared_ptr<NSObject>& object,
                                     std::optional<flutter::ValueMap> change,
                                     PigeonCompletion completion) {
  callDart("observeValue", pigeonInstance,
           {valueOrNull(keyPath), objectValue(object),
            change ? flutter::Value(std::move(*change)) : flutter::Value()},
           DartReturn::none, std::move(completion));
}

}  // namespace wkwebview_host
