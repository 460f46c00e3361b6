// Test controls for power assertions: refuse creation, and list the assertions still held.
#pragma once

#include <string>
#include <vector>

#include "platform/iokit/io_pm_lib.h"

namespace iokit::testing {

struct HeldAssertion {
  IOPMAssertionID id = kIOPMNullAssertionID;
  std::string type;
  IOPMAssertionLevel level = kIOPMAssertionLevelOff;
  std::string name;
};

// While refused, creation fails with kIOReturnError and holds nothing.
void setAssertionCreationRefused(bool refused);
std::vector<HeldAssertion> heldAssertions();
// Releases every assertion and accepts creation again.
void resetPowerAssertions();

}  // namespace iokit::testing
