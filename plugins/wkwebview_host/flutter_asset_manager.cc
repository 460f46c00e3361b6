#include "plugins/wkwebview_host/flutter_asset_manager.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/foundation/ns_url.h"

namespace wkwebview_host {
namespace {

bool isUnreserved(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

bool isAllowedInUrl(char c) {
  return isUnreserved(c) ||
         std::string_view(":/?#[]@!$&'()*+,;=%").find(c) != std::string_view::npos;
}

// A path as the path of a file URL: every byte but the unreserved ones and "/" escaped.
std::string fileURLWithPath(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string url = "file://";
  for (unsigned char c : path) {
    if (isUnreserved(static_cast<char>(c)) || c == '/') {
      url.push_back(static_cast<char>(c));
    } else {
      url.push_back('%');
      url.push_back(kHex[c >> 4]);
      url.push_back(kHex[c & 0xF]);
    }
  }
  return url;
}

// Resolves "." and ".." segments of an absolute path, as resolving a relative URL does.
std::string removeDotSegments(const std::string& path) {
  std::vector<std::string> segments;
  size_t start = 1;
  while (start <= path.size()) {
    size_t end = std::min(path.find('/', start), path.size());
    std::string segment = path.substr(start, end - start);
    bool last = end == path.size();
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
      if (last) segments.emplace_back();
    } else if (segment == ".") {
      if (last) segments.emplace_back();
    } else {
      segments.push_back(std::move(segment));
    }
    start = end + 1;
  }
  std::string resolved;
  for (const auto& segment : segments) resolved += "/" + segment;
  return resolved.empty() ? "/" : resolved;
}

}  // namespace

// Whether `path`, with its "." and ".." segments resolved, names something inside the bundle.
bool FlutterAssetManager::isInsideBundle(const std::string& path) const {
  auto relative = std::filesystem::path(path).lexically_normal().lexically_relative(
      std::filesystem::path(bundle_->bundlePath()).lexically_normal());
  return !relative.empty() && *relative.begin() != ".." && *relative.begin() != ".";
}

std::optional<std::string> FlutterAssetManager::urlForAsset(const std::string& asset) const {
  std::string key = lookupKeyForAsset(asset);
  // No file name holds a NUL; the lookups below would stop at it and find another file.
  if (key.find('\0') != std::string::npos) return std::nullopt;
  size_t name_start = key.rfind('/') == std::string::npos ? 0 : key.rfind('/') + 1;
  size_t dot = key.rfind('.');
  bool has_extension = dot != std::string::npos && dot > name_start;
  std::string name = has_extension ? key.substr(0, dot) : key;
  std::string extension = has_extension ? key.substr(dot + 1) : std::string();
  if (auto path = bundle_->pathForResource(name, extension)) {
    return isInsideBundle(*path) ? std::optional(fileURLWithPath(*path)) : std::nullopt;
  }

  if (key.empty() || !std::all_of(key.begin(), key.end(), isAllowedInUrl)) return std::nullopt;
  std::string bundle_url = fileURLWithPath(bundle_->bundlePath() + "/");
  std::string_view scheme = "file://";
  std::string url = std::string(scheme) + removeDotSegments(bundle_url.substr(scheme.size()) + key);
  // Only a file that is there, and inside the bundle, is an asset.
  auto parsed = NSURL::URLWithString(url);
  std::error_code error;
  if (!parsed || !isInsideBundle(parsed->path()) || !std::filesystem::exists(parsed->path(), error)) {
    return std::nullopt;
  }
  return url;
}

}  // namespace wkwebview_host
