// Where the keychain database lives, and making its directory (0700) and file (0600) safely.
#pragma once

#include <optional>
#include <string>

#include "platform/security/sec_base.h"

namespace security::internal {

inline constexpr const char* kKeychainFileName = "keychain.db";

// The user's data directory ($XDG_DATA_HOME or ~/.local/share) and the application id: the main
// bundle's identifier, else the process name.
std::string defaultKeychainDirectory();

struct PreparedKeychainFile {
  std::string path;
  bool created = false;
};

// Makes the directory (and missing parents) with mode 0700 and the file with mode 0600 when
// they are missing, and tightens existing ones to those modes. Neither may be a symbolic link
// (errSecNotAvailable), nor belong to another user (errSecIO, and nothing is changed). A call the
// system refuses for now (no descriptor left, no permission, an I/O error) is errSecIO.
OSStatus prepareKeychainFile(const std::string& directory, PreparedKeychainFile* prepared);

// The status of a file the keychain could not open for `error` (an errno), which it logs:
// errSecIO for "not now" (foundation's classification), errSecNotAvailable otherwise.
OSStatus keychainStatusForSystemError(const std::string& path, int error);

}  // namespace security::internal
