// An asset made from a URL, with the options it was created with (precise timing, HTTP user
// agent and header fields) and, for streams, its variants. Backed by the media library, a file
// URL is probed off the calling thread when a load is first asked for (an item in a player asks),
// and every key settles at once when that ends (loaded, or failed with the platform's error); a
// remote URL fails as without a network. Backed by the model, tests decide what it and its items
// report.
#pragma once

#include <any>
#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/avfoundation/av_asset.h"
#include "platform/avfoundation/av_asset_variant.h"
#include "platform/foundation/ns_url.h"
#include "platform/foundation/regular_file.h"

namespace avfoundation::internal {
struct LibraryAccess;
}

using AVURLAssetOptions = std::map<std::string, std::any>;

// bool.
inline constexpr const char* AVURLAssetPreferPreciseDurationAndTimingKey =
    "AVURLAssetPreferPreciseDurationAndTimingKey";
// std::string.
inline constexpr const char* AVURLAssetHTTPUserAgentKey = "AVURLAssetHTTPUserAgentKey";
// std::map<std::string, std::string>: header fields sent with every request.
inline constexpr const char* AVURLAssetHTTPHeaderFieldsKey = "AVURLAssetHTTPHeaderFieldsKey";
// bool, the host's own key: the asset is played for its sound only, so its probe opens and
// decodes only the sound, its pictures discarded at the demuxer, and it has audio tracks only.
inline constexpr const char* AVURLAssetHostSoundOnlyKey = "HostSoundOnly";

class AVURLAsset : public AVAsset {
 public:
  static std::shared_ptr<AVURLAsset> URLAssetWithURL(const NSURL& url, AVURLAssetOptions options);
  AVURLAsset(NSURL url, AVURLAssetOptions options);
  ~AVURLAsset() override;

  const NSURL& URL() const { return url_; }
  const AVURLAssetOptions& options() const { return options_; }
  // Loaded under the key "variants"; empty for a file.
  std::vector<AVAssetVariant> variants() const;

 private:
  friend struct AVAssetModel;
  friend struct avfoundation::internal::LibraryAccess;
  // Probes the file of a library-backed asset and keeps it open for the asset's decoders.
  static void loadFromLibrary(const std::weak_ptr<AVURLAsset>& weak,
                              std::shared_ptr<const std::atomic<bool>> gone);
  void willLoadValues() override;
  // The file a library-backed asset plays; empty for the model or a remote URL.
  std::string libraryFilePath() const;
  bool isSoundOnly() const;

  NSURL url_;
  AVURLAssetOptions options_;
  std::vector<AVAssetVariant> variants_;
  const bool library_backed_;
  std::atomic<bool> probe_started_{false};
  // Set once the asset is gone: its probe stops at its next read instead of running on.
  const std::shared_ptr<std::atomic<bool>> gone_ = std::make_shared<std::atomic<bool>>(false);
  // Opened by the probe (under content_mutex_): every decoder reads this one descriptor while any
  // decodes; with none, it closes, and the file is opened again for the next decoder only if it
  // is still the file that was probed.
  std::weak_ptr<const foundation::RegularFile> library_file_;
  std::optional<foundation::FileIdentity> library_identity_;
};
