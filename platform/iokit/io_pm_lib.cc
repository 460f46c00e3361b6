#include "platform/iokit/io_pm_lib.h"

#include "platform/iokit/internal/power_assertion_table.h"

namespace {

using iokit::internal::PowerAssertionTable;

PowerAssertionTable& table() { return iokit::internal::powerAssertionTable(); }

bool isKnownType(const std::string& type) {
  return type == kIOPMAssertionTypeNoDisplaySleep || type == kIOPMAssertionTypeNoIdleSleep;
}

}  // namespace

IOReturn IOPMAssertionCreateWithName(const std::string& assertionType,
                                     IOPMAssertionLevel assertionLevel,
                                     const std::string& assertionName,
                                     IOPMAssertionID* assertionID) {
  if (assertionID == nullptr || !isKnownType(assertionType) || assertionName.empty() ||
      (assertionLevel != kIOPMAssertionLevelOff && assertionLevel != kIOPMAssertionLevelOn)) {
    return kIOReturnBadArgument;
  }
  PowerAssertionTable& assertions = table();
  std::lock_guard lock(assertions.mutex);
  if (assertions.refused) return kIOReturnError;
  IOPMAssertionID id = assertions.next_id++;
  if (assertions.next_id == kIOPMNullAssertionID) assertions.next_id = 1;
  assertions.held[id] = {id, assertionType, assertionLevel, assertionName};
  *assertionID = id;
  return kIOReturnSuccess;
}

IOReturn IOPMAssertionRelease(IOPMAssertionID assertionID) {
  PowerAssertionTable& assertions = table();
  std::lock_guard lock(assertions.mutex);
  return assertions.held.erase(assertionID) == 1 ? kIOReturnSuccess : kIOReturnNotFound;
}
