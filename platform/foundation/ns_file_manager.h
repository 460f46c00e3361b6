// The file manager: existence checks, directory creation and removal of items.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/foundation/ns_date.h"
#include "platform/foundation/ns_error.h"
#include "platform/foundation/ns_path_utilities.h"
#include "platform/foundation/ns_url.h"

using NSFileAttributeKey = std::string;
using NSFileAttributes = std::map<NSFileAttributeKey, std::string>;

inline const NSFileAttributeKey NSFileProtectionKey = "NSFileProtectionKey";
inline const std::string NSFileProtectionNone = "NSFileProtectionNone";
inline const std::string NSFileProtectionComplete = "NSFileProtectionComplete";

// What attributesOfItemAtPath reports about an item: dates under the date keys. The creation date
// is absent where the file system does not record one.
using NSFileItemAttributeValue = std::variant<std::string, NSDate>;
using NSFileItemAttributes = std::map<NSFileAttributeKey, NSFileItemAttributeValue>;

inline const NSFileAttributeKey NSFileCreationDate = "NSFileCreationDate";
inline const NSFileAttributeKey NSFileModificationDate = "NSFileModificationDate";

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

  // File URLs of the directories of that kind in the given domains (only the user domain has
  // any here), whether or not they exist yet.
  std::vector<NSURL> URLsForDirectory(NSSearchPathDirectory directory,
                                      NSSearchPathDomainMask domainMask) const;
  // The item's dates (symbolic links followed); nullopt and an error when it cannot be read.
  std::optional<NSFileItemAttributes> attributesOfItemAtPath(const std::string& path,
                                                             NSError* error = nullptr) const;
};
