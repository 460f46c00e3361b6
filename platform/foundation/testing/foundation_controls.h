// Test controls for the Foundation stand-in: the emulated OS version, the main bundle's location,
// the user's directories and a capture of log lines.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/ns_process_info.h"

namespace foundation::testing {

NSOperatingSystemVersion emulatedOperatingSystemVersion();
void setEmulatedOperatingSystemVersion(const NSOperatingSystemVersion& version);

std::optional<std::string> mainBundlePathOverride();
// Points the main bundle at another directory; nullopt restores the executable's own.
void setMainBundlePath(std::optional<std::string> path);

std::optional<std::string> userDirectoriesRoot();
// Points the home directory and every per-user directory at `root` (Documents, .config,
// .local/share, .cache beneath it), ignoring HOME and the XDG variables; nullopt restores them.
void setUserDirectoriesRoot(std::optional<std::string> root);

// Makes the next atomic property-list write fail after its temporary file is written, as a full
// disk or a failed rename would.
void failNextPropertyListWrite();
bool takePropertyListWriteFault();

// File-system answers the property-list writer meets on its next call of that kind, as the
// system can give them: a write(2) interrupted by a signal before it wrote anything, a write(2)
// that wrote only part of what it was given, a directory that cannot be opened, and a directory
// whose flush fails. Each is taken by the first call that meets it.
enum class FileSystemFault { kInterruptedWrite, kShortWrite, kDirectoryOpen, kDirectorySync };
void injectFileSystemFault(FileSystemFault fault);
// Whether the fault was injected and not yet met; clears it.
bool takeFileSystemFault(FileSystemFault fault);

// Drops every user-defaults domain held in memory, as a restart of the process would: the next
// use reads them from their files again; the registration domain starts empty.
void resetUserDefaults();

// While capturing, log lines are kept for takeLogLines as well as written to standard error.
void setLogCapture(bool enabled);
std::vector<std::string> takeLogLines();
void recordLogLine(const std::string& line);

}  // namespace foundation::testing
