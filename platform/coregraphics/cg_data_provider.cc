#include "platform/coregraphics/cg_data_provider.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <optional>
#include <string>

#include "platform/coregraphics/internal/cg_data_provider.h"

namespace {

bool isLocalHost(const std::optional<std::string>& host) {
  if (!host || host->empty()) return true;
  std::string lower;
  for (char c : *host)
    lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  return lower == "localhost";
}

bool isReadableRegularFile(const std::string& path) {
  if (path.empty() || path.find('\0') != std::string::npos) return false;
  int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return false;
  struct stat status {};
  bool regular = fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode);
  close(descriptor);
  return regular;
}

}  // namespace

CGDataProviderRef CGDataProviderCreateWithCFData(const CFDataRef& data) {
  if (!data) return nullptr;
  return std::make_shared<const CGDataProvider>(data);
}

CGDataProviderRef CGDataProviderCreateWithURL(const NSURL& url) {
  if (!url.isFileURL() || !isLocalHost(url.host())) return nullptr;
  std::string path = url.path();
  if (!isReadableRegularFile(path)) return nullptr;
  return std::make_shared<const CGDataProvider>(std::move(path));
}
