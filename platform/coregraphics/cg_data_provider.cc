#include "platform/coregraphics/cg_data_provider.h"

#include <cctype>
#include <optional>
#include <string>

#include "platform/coregraphics/internal/cg_data_provider.h"
#include "platform/foundation/regular_file.h"

namespace {

bool isLocalHost(const std::optional<std::string>& host) {
  if (!host || host->empty()) return true;
  std::string lower;
  for (char c : *host)
    lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  return lower == "localhost";
}

}  // namespace

CGDataProviderRef CGDataProviderCreateWithCFData(const CFDataRef& data) {
  if (!data) return nullptr;
  return std::make_shared<const CGDataProvider>(data);
}

CGDataProviderRef CGDataProviderCreateWithURL(const NSURL& url) {
  if (!url.isFileURL() || !isLocalHost(url.host())) return nullptr;
  // Read once, here: a reader that opened the path again later could find a FIFO or a device
  // put in its place.
  auto bytes = foundation::readRegularFile(url.path(), kCGDataProviderMaxFileBytes);
  if (!bytes) return nullptr;
  return std::make_shared<const CGDataProvider>(std::make_shared<const CFData>(std::move(*bytes)));
}

CFDataRef CGDataProviderCopyData(const CGDataProviderRef& provider) {
  // The bytes are immutable: the copy can share them.
  return provider ? provider->source() : nullptr;
}
