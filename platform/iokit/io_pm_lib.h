// Power-management assertions: while an assertion of a type is held, the system refrains from
// what that type names (here, putting the display to sleep).
#pragma once

#include <cstdint>
#include <string>

#include "platform/iokit/io_types.h"

using IOReturn = kern_return_t;
using IOPMAssertionID = uint32_t;
using IOPMAssertionLevel = uint32_t;

inline constexpr IOReturn kIOReturnSuccess = 0;
inline constexpr IOReturn kIOReturnError = static_cast<IOReturn>(0xe00002bc);
inline constexpr IOReturn kIOReturnBadArgument = static_cast<IOReturn>(0xe00002c2);
inline constexpr IOReturn kIOReturnNotFound = static_cast<IOReturn>(0xe00002f0);

inline constexpr IOPMAssertionLevel kIOPMAssertionLevelOff = 0;
inline constexpr IOPMAssertionLevel kIOPMAssertionLevelOn = 255;
inline constexpr IOPMAssertionID kIOPMNullAssertionID = 0;

inline constexpr const char* kIOPMAssertionTypeNoDisplaySleep = "NoDisplaySleepAssertion";
inline constexpr const char* kIOPMAssertionTypeNoIdleSleep = "NoIdleSleepAssertion";

// Creates an assertion and stores its identifier (never kIOPMNullAssertionID) in *assertionID.
// An unknown type, a level other than off or on, an empty name or a null id is a bad argument.
IOReturn IOPMAssertionCreateWithName(const std::string& assertionType,
                                     IOPMAssertionLevel assertionLevel,
                                     const std::string& assertionName,
                                     IOPMAssertionID* assertionID);
// kIOReturnNotFound for an identifier that is not held.
IOReturn IOPMAssertionRelease(IOPMAssertionID assertionID);
