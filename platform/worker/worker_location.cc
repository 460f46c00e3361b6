#include "platform/worker/worker_location.h"

#include <unistd.h>

#include <climits>
#include <string_view>

namespace worker {
namespace {

std::string runningExecutableFolder() {
  char path[PATH_MAX];
  ssize_t length = ::readlink("/proc/self/exe", path, sizeof(path) - 1);
  if (length <= 0) return {};
  std::string_view text(path, static_cast<size_t>(length));
  auto slash = text.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(text.substr(0, slash));
}

}  // namespace

std::string workerExecutablePath(const std::string& name) {
  constexpr std::string_view kBundleFolder = "/Contents/MacOS";
  std::string folder = runningExecutableFolder();
  bool in_bundle = folder.size() >= kBundleFolder.size() &&
                   folder.compare(folder.size() - kBundleFolder.size(), kBundleFolder.size(),
                                  kBundleFolder) == 0;
  return (in_bundle ? folder : std::string(WORKER_BUILD_DIRECTORY)) + "/" + name;
}

}  // namespace worker
