// Finds the files of Flutter assets inside a bundle.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/ns_bundle.h"

namespace wkwebview_host {

class FlutterAssetManager {
 public:
  // `assetKeyPrefix` is what the engine puts before an asset's name to make its key, the asset's
  // path relative to the bundle's resources.
  FlutterAssetManager(std::shared_ptr<NSBundle> bundle, std::string assetKeyPrefix)
      : bundle_(std::move(bundle)), asset_key_prefix_(std::move(assetKeyPrefix)) {}

  const std::shared_ptr<NSBundle>& bundle() const { return bundle_; }

  std::string lookupKeyForAsset(const std::string& asset) const {
    return asset_key_prefix_ + asset;
  }

  // The file URL of the asset: its resource in the bundle, or else its key taken as a URL
  // relative to the bundle's own URL. None when neither is there, when the key cannot be read as
  // a URL, or when it leads out of the bundle.
  std::optional<std::string> urlForAsset(const std::string& asset) const;

 private:
  bool isInsideBundle(const std::string& path) const;

  std::shared_ptr<NSBundle> bundle_;
  std::string asset_key_prefix_;
};

}  // namespace wkwebview_host
