// The file manager: existence checks, directory creation and removal of items.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/foundation/ns_error.h"

using NSFileAttributeKey = std::string;
using NSFileAttributes = std::map<NSFileAttributeKey, std::string>;

inline const NSFileAttributeKey NSFileProtectionKey = "NSFileProtectionKey";
inline const std::string NSFileProtectionNone = "NSFileProtectionNone";
inline const std::string NSFileProtectionComplete = "NSFileProtectionComplete";

class NSFileManager {
 public:
  static std::shared_ptr<NSFileManager> defaultManager();

  // Follows symbolic links, as the platform does.
  bool fileExistsAtPath(const std::string& path, bool* isDirectory = nullptr) const;
  // Data protection classes do not exist on this system: NSFileProtectionKey is accepted and has
  // no effect. Fails when something that is not a directory is in the way.
  bool createDirectoryAtPath(const std::string& path, bool createIntermediates,
                             const NSFileAttributes& attributes = {},
                             NSError* error = nullptr) const;
  // Removes a file, a link, or a directory with everything in it.
  bool removeItemAtPath(const std::string& path, NSError* error = nullptr) const;
};
