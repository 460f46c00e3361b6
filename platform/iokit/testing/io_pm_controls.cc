#include "platform/iokit/testing/io_pm_controls.h"

#include "platform/iokit/internal/power_assertion_table.h"

namespace iokit::testing {
namespace {

internal::PowerAssertionTable& table() { return internal::powerAssertionTable(); }

}  // namespace

void setAssertionCreationRefused(bool refused) {
  std::lock_guard lock(table().mutex);
  table().refused = refused;
}

std::vector<HeldAssertion> heldAssertions() {
  std::lock_guard lock(table().mutex);
  std::vector<HeldAssertion> held;
  for (const auto& [id, assertion] : table().held) held.push_back(assertion);
  return held;
}

void resetPowerAssertions() {
  std::lock_guard lock(table().mutex);
  table().held.clear();
  table().refused = false;
}

}  // namespace iokit::testing
