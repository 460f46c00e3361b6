// The bundle keys of Flutter assets, from the plug-in's registrar while it lives.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/flutter/flutter_plugin.h"

namespace movie_player_avfoundation {

class HVPAssetProvider {
 public:
  virtual ~HVPAssetProvider() = default;
  virtual std::optional<std::string> lookupKeyForAsset(const std::string& asset) = 0;
  virtual std::optional<std::string> lookupKeyForAsset(const std::string& asset,
                                                       const std::string& package) = 0;
};

// The registrar is handed to registration by reference and cannot be held weakly, so the provider
// keeps the registrar's key for the empty asset name and builds the others the way the engine
// lays out its assets: "flutter_assets/<asset>", "flutter_assets/packages/<package>/<asset>".
class DefaultAssetProvider final : public HVPAssetProvider {
 public:
  explicit DefaultAssetProvider(FlutterPluginRegistrar& registrar)
      : assets_prefix_(registrar.lookupKeyForAsset("")) {}

  std::optional<std::string> lookupKeyForAsset(const std::string& asset) override {
    return assets_prefix_ + asset;
  }
  std::optional<std::string> lookupKeyForAsset(const std::string& asset,
                                               const std::string& package) override {
    return lookupKeyForAsset("packages/" + package + "/" + asset);
  }

 private:
  std::string assets_prefix_;
};

}  // namespace movie_player_avfoundation
