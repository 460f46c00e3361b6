// The bundle keys of Flutter assets, laid out as the engine's registrar lays them out.
#pragma once

#include <optional>
#include <string>

#include "platform/flutter/engine_registrar.h"

namespace movie_player_avfoundation {

class HVPAssetProvider {
 public:
  virtual ~HVPAssetProvider() = default;
  virtual std::optional<std::string> lookupKeyForAsset(const std::string& asset) = 0;
  virtual std::optional<std::string> lookupKeyForAsset(const std::string& asset,
                                                       const std::string& package) = 0;
};

// The registrar is handed to registration by reference and cannot be held weakly, so the
// provider asks the registrar's own layout rather than keeping the registrar.
class DefaultAssetProvider final : public HVPAssetProvider {
 public:
  std::optional<std::string> lookupKeyForAsset(const std::string& asset) override {
    return flutter::EngineRegistrar::assetKey(asset);
  }
  std::optional<std::string> lookupKeyForAsset(const std::string& asset,
                                               const std::string& package) override {
    return flutter::EngineRegistrar::assetKey(asset, package);
  }
};

}  // namespace movie_player_avfoundation
