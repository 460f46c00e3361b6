// An asset made from a URL, with the options it was created with (precise timing, HTTP user
// agent and header fields) and, for streams, its variants. The stand-in loads nothing; tests
// decide what it and its items report.
#pragma once

#include <any>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/avfoundation/av_asset.h"
#include "platform/avfoundation/av_asset_variant.h"
#include "platform/foundation/ns_url.h"

using AVURLAssetOptions = std::map<std::string, std::any>;

// bool.
inline constexpr const char* AVURLAssetPreferPreciseDurationAndTimingKey =
    "AVURLAssetPreferPreciseDurationAndTimingKey";
// std::string.
inline constexpr const char* AVURLAssetHTTPUserAgentKey = "AVURLAssetHTTPUserAgentKey";
// std::map<std::string, std::string>: header fields sent with every request.
inline constexpr const char* AVURLAssetHTTPHeaderFieldsKey = "AVURLAssetHTTPHeaderFieldsKey";

class AVURLAsset : public AVAsset {
 public:
  static std::shared_ptr<AVURLAsset> URLAssetWithURL(const NSURL& url, AVURLAssetOptions options);
  AVURLAsset(NSURL url, AVURLAssetOptions options);

  const NSURL& URL() const { return url_; }
  const AVURLAssetOptions& options() const { return options_; }
  // Loaded under the key "variants"; empty for a file.
  std::vector<AVAssetVariant> variants() const;

 private:
  friend struct AVAssetModel;
  NSURL url_;
  AVURLAssetOptions options_;
  std::vector<AVAssetVariant> variants_;
};
