#include "platform/foundation/user_directories.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "platform/foundation/testing/foundation_controls.h"

namespace foundation {
namespace {

// An XDG variable counts only when it holds an absolute path, as the base-directory rules say.
std::optional<std::string> absoluteEnvironmentPath(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || value[0] != '/') return std::nullopt;
  return std::string(value);
}

std::string underRootOr(const char* relative, const char* variable) {
  if (auto root = testing::userDirectoriesRoot()) return *root + "/" + relative;
  if (auto value = absoluteEnvironmentPath(variable)) return *value;
  return userHomeDirectory() + "/" + relative;
}

}  // namespace

std::string userHomeDirectory() {
  if (auto root = testing::userDirectoriesRoot()) return *root;
  if (auto home = absoluteEnvironmentPath("HOME")) return *home;
  struct passwd entry {};
  struct passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr) {
    return found->pw_dir;
  }
  return "/";
}

std::string userConfigDirectory() { return underRootOr(".config", "XDG_CONFIG_HOME"); }
std::string userDataDirectory() { return underRootOr(".local/share", "XDG_DATA_HOME"); }
std::string userCacheDirectory() { return underRootOr(".cache", "XDG_CACHE_HOME"); }
std::string userDocumentsDirectory() { return underRootOr("Documents", "XDG_DOCUMENTS_DIR"); }

}  // namespace foundation
