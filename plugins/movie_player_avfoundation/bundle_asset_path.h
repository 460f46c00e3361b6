// Where an asset key may lead: only to something strictly inside the bundle's assets folder.
// Keys come from names the Dart side sends, so "..", an empty name, a NUL and symbolic links
// that point out of the folder must not reach files elsewhere (nor reveal whether they exist).
#pragma once

#include <optional>
#include <string>

namespace movie_player_avfoundation {

// The key with its "." and ".." steps resolved, when it stays strictly inside the assets folder
// (the registrar's kAssetsFolder) and holds no NUL; nullopt otherwise (the folder itself too).
std::optional<std::string> normalizedAssetKey(const std::string& key);

// Whether `path`, its symbolic links followed, lies strictly inside `folder` (followed too).
bool resolvesInside(const std::string& path, const std::string& folder);

}  // namespace movie_player_avfoundation
