// The power assertions held in this process, shared by the assertion calls and their test
// controls.
#pragma once

#include <map>
#include <mutex>

#include "platform/iokit/io_pm_lib.h"
#include "platform/iokit/testing/io_pm_controls.h"

namespace iokit::internal {

// Held for the whole process, as the power manager holds them for the system.
struct PowerAssertionTable {
  std::mutex mutex;
  std::map<IOPMAssertionID, iokit::testing::HeldAssertion> held;
  IOPMAssertionID next_id = 1;
  bool refused = false;
};

PowerAssertionTable& powerAssertionTable();

}  // namespace iokit::internal
