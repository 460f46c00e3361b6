#include "plugins/movie_player_avfoundation/bundle_asset_path.h"

#include <algorithm>
#include <filesystem>
#include <iterator>

#include "platform/flutter/engine_registrar.h"

namespace movie_player_avfoundation {

namespace fs = std::filesystem;

std::optional<std::string> normalizedAssetKey(const std::string& key) {
  if (key.find('\0') != std::string::npos) return std::nullopt;
  fs::path path(key);
  if (path.is_absolute()) return std::nullopt;
  fs::path normal = path.lexically_normal();
  auto part = normal.begin();
  if (part == normal.end() || *part != flutter::EngineRegistrar::kAssetsFolder) return std::nullopt;
  size_t count = 0;
  for (; part != normal.end(); ++part) {
    if (*part == ".." || part->empty() || *part == ".") return std::nullopt;
    ++count;
  }
  if (count < 2) return std::nullopt;
  return normal.generic_string();
}

bool resolvesInside(const std::string& path, const std::string& folder) {
  std::error_code error;
  fs::path resolved = fs::weakly_canonical(path, error);
  if (error) return false;
  fs::path root = fs::weakly_canonical(folder, error);
  if (error) return false;
  auto [rootEnd, pathAt] = std::mismatch(root.begin(), root.end(), resolved.begin(), resolved.end());
  if (rootEnd != root.end()) return false;
  // Strictly inside: something must follow the folder (a trailing separator counts as nothing).
  return std::any_of(pathAt, resolved.end(), [](const fs::path& rest) { return !rest.empty(); });
}

}  // namespace movie_player_avfoundation
