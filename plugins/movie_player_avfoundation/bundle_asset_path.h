// Where an asset key may lead: only to something strictly inside the bundle's assets folder.
// Keys come from names the Dart side sends, so "..", an empty name, a NUL and symbolic links
// that point out of the folder must not reach files elsewhere (nor reveal whether they exist).
#pragma once

#include <optional>
#include <string>

namespace movie_player_avfoundation {

// The folder of the bundle's resources that holds the assets; keys start with it.
inline constexpr const char* kBundleAssetsFolder = "flutter_assets";

// The key with its "." and ".." steps resolved, when it stays strictly inside the assets folder
// and holds no NUL; nullopt otherwise (the folder itself included).
std::optional<std::string> normalizedAssetKey(const std::string& key);

// Whether `path`, its symbolic links followed, lies strictly inside `folder` (followed too).
bool resolvesInside(const std::string& path, const std::string& folder);

}  // namespace movie_player_avfoundation
