#include "platform/security/testing/sec_task_controls.h"

#include "platform/security/sec_task.h"

namespace security::testing {

struct SecTaskAccess {
  template <typename Change>
  static void changeEntitlements(Change change) {
    CFDictionary entitlements = SecTask::processEntitlements();
    change(entitlements);
    auto& state = SecTask::processState();
    std::lock_guard lock(state.mutex);
    state.entitlements = std::move(entitlements);
  }
  static void failCreation(bool fail) {
    auto& state = SecTask::processState();
    std::lock_guard lock(state.mutex);
    state.failCreation = fail;
  }
  static void reset() {
    auto& state = SecTask::processState();
    std::lock_guard lock(state.mutex);
    state.entitlements.reset();
    state.failCreation = false;
  }
};

void setEntitlement(const std::string& key, CFValue value) {
  SecTaskAccess::changeEntitlements(
      [&](CFDictionary& entitlements) { entitlements.set(key, std::move(value)); });
}

void removeEntitlement(const std::string& key) {
  SecTaskAccess::changeEntitlements([&](CFDictionary& entitlements) { entitlements.erase(key); });
}

void failTaskCreation(bool fail) { SecTaskAccess::failCreation(fail); }

void resetTaskEntitlements() { SecTaskAccess::reset(); }

}  // namespace security::testing
