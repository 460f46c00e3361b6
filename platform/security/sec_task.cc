#include "platform/security/sec_task.h"

#include "platform/foundation/ns_bundle.h"
#include "platform/foundation/property_list.h"
#include "platform/security/sec_base.h"

namespace {

CFValue toCFValue(const PropertyList& value) {
  return std::visit(
      [](const auto& item) -> CFValue {
        using T = std::decay_t<decltype(item)>;
        if constexpr (std::is_same_v<T, PropertyListData>) {
          return CFValue(CFBytes(item.begin(), item.end()));
        } else if constexpr (std::is_same_v<T, PropertyListDate>) {
          return CFValue(CFDate{item.secondsSinceReferenceDate});
        } else if constexpr (std::is_same_v<T, PropertyList::Array>) {
          CFArray array;
          for (const auto& element : item) array.push_back(toCFValue(element));
          return CFValue(std::move(array));
        } else if constexpr (std::is_same_v<T, PropertyList::Dictionary>) {
          CFDictionary dictionary;
          for (const auto& [key, element] : item) dictionary.set(key, toCFValue(element));
          return CFValue(std::move(dictionary));
        } else {
          return CFValue(item);
        }
      },
      value.storage());
}

CFDictionary hostDeclaredEntitlements() {
  return CFDictionary{
      {"com.apple.security.app-sandbox", true},
      {"com.apple.security.files.user-selected.read-write", true},
      {"com.apple.security.device.camera", true},
      {"com.apple.security.device.audio-input", true},
      {"com.apple.security.device.usb", true},
      {"com.apple.security.personal-information.photos-library", true},
      {"com.apple.security.network.client", true},
      {"com.apple.security.network.server", true},
      {"com.apple.security.cs.allow-jit", true},
      {"com.apple.security.cs.allow-unsigned-executable-memory", true},
  };
}

CFDictionary bundleEntitlements() {
  auto bundle = NSBundle::mainBundle();
  if (bundle) {
    auto declared = PropertyList::readFile(bundle->bundlePath() + "/Contents/Entitlements.plist");
    if (declared && declared->asDictionary() != nullptr) {
      return *toCFValue(*declared).asDictionary();
    }
  }
  return hostDeclaredEntitlements();
}

}  // namespace

SecTask::ProcessState& SecTask::processState() {
  static ProcessState state;
  return state;
}

CFDictionary SecTask::processEntitlements() {
  auto& state = processState();
  std::lock_guard lock(state.mutex);
  if (!state.entitlements) state.entitlements = bundleEntitlements();
  return *state.entitlements;
}

SecTaskRef SecTaskCreateFromSelf() {
  {
    auto& state = SecTask::processState();
    std::lock_guard lock(state.mutex);
    if (state.failCreation) return nullptr;
  }
  return std::make_shared<const SecTask>(SecTask::processEntitlements());
}

CFValue SecTaskCopyValueForEntitlement(const SecTaskRef& task, const std::string& entitlement,
                                       CFErrorRef* error) {
  if (!task) {
    if (error != nullptr) *error = CFErrorCreate(kCFErrorDomainOSStatus, errSecParam, {});
    return CFValue();
  }
  const CFValue* value = task->entitlements().find(entitlement);
  return value != nullptr ? *value : CFValue();
}
