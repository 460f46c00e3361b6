#include "platform/foundation/ns_path_utilities.h"

#include <cstdlib>

#include "platform/foundation/user_directories.h"

std::vector<std::string> NSSearchPathForDirectoriesInDomains(NSSearchPathDirectory directory,
                                                             NSSearchPathDomainMask domainMask,
                                                             bool expandTilde) {
  if ((domainMask & NSUserDomainMask) == 0) return {};
  std::string path;
  switch (directory) {
    case NSDocumentDirectory:
      path = foundation::userDocumentsDirectory();
      break;
    case NSApplicationSupportDirectory:
      path = foundation::userDataDirectory();
      break;
    case NSCachesDirectory:
      path = foundation::userCacheDirectory();
      break;
    default:
      return {};
  }
  std::string home = foundation::userHomeDirectory();
  const bool under_home = path.size() > home.size() && path.compare(0, home.size(), home) == 0 &&
                          path[home.size()] == '/';
  if (!expandTilde && under_home) {
    std::string relative(1, '~');
    relative.append(std::string_view(path).substr(home.size()));
    path = std::move(relative);
  }
  return {path};
}

std::string NSHomeDirectory() { return foundation::userHomeDirectory(); }

std::string NSTemporaryDirectory() {
  const char* value = std::getenv("TMPDIR");
  std::string path = value != nullptr && value[0] == '/' ? value : "/tmp";
  if (!path.ends_with('/')) path += '/';
  return path;
}
