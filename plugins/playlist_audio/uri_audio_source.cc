#include "plugins/playlist_audio/uri_audio_source.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "platform/foundation/ns_process_info.h"
#include "platform/foundation/ns_url.h"
#include "plugins/playlist_audio/audio_player_exception.h"

namespace playlist_audio {
namespace {

constexpr std::string_view kFileScheme = "file://";

bool isLocalhost(std::string_view host) {
  constexpr std::string_view kLocalhost = "localhost";
  return std::equal(host.begin(), host.end(), kLocalhost.begin(), kLocalhost.end(),
                    [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

NSURL urlForUri(const std::string& uri) {
  if (uri.starts_with(kFileScheme)) {
    auto decoded = stringByRemovingPercentEncoding(uri);
    if (!decoded) throw AudioPlayerException("undecodable file URI");
    std::string_view rest = std::string_view(*decoded).substr(kFileScheme.size());
    // What comes before the path is the host: none or "localhost" is this machine, whose path
    // follows; any other keeps its host, so the asset plays it as another machine's file (never
    // a path relative to the working directory).
    if (!rest.starts_with('/')) {
      size_t slash = rest.find('/');
      if (slash == std::string_view::npos || !isLocalhost(rest.substr(0, slash))) {
        auto url = NSURL::URLWithString(uri);
        if (!url) throw AudioPlayerException("not a URL: " + uri);
        return *url;
      }
      rest.remove_prefix(slash);
    }
    return NSURL::fileURLWithPath(std::string(rest));
  }
  auto url = NSURL::URLWithString(uri);
  if (!url) throw AudioPlayerException("not a URL: " + uri);
  return *url;
}

// The user agent travels as its own option only when it is the one header, from macOS 13 on.
void addHeaderOptions(HttpHeaders headers, AVURLAssetOptions& options) {
  if (headers.size() == 1 &&
      NSProcessInfo::processInfo().isOperatingSystemAtLeastVersion({13, 0, 0})) {
    auto found = headers.find("User-Agent");
    if (found == headers.end()) found = headers.find("user-agent");
    if (found != headers.end()) {
      options[AVURLAssetHTTPUserAgentKey] = found->second;
      headers.erase(found);
    }
  }
  if (!headers.empty()) options[AVURLAssetHTTPHeaderFieldsKey] = std::move(headers);
}

}  // namespace

std::shared_ptr<UriAudioSource> UriAudioSource::create(std::string sourceId, std::string uri,
                                                       std::shared_ptr<LoadControl> loadControl,
                                                       std::optional<HttpHeaders> headers,
                                                       flutter::Value options) {
  auto source =
      std::make_shared<UriAudioSource>(std::move(sourceId), std::move(uri), std::move(loadControl),
                                       std::move(headers), std::move(options));
  source->player_item_ = source->createPlayerItem();
  return source;
}

UriAudioSource::UriAudioSource(std::string sourceId, std::string uri,
                               std::shared_ptr<LoadControl> loadControl,
                               std::optional<HttpHeaders> headers, flutter::Value options)
    : IndexedAudioSource(std::move(sourceId)),
      uri_(std::move(uri)),
      load_control_(std::move(loadControl)),
      headers_(std::move(headers)),
      options_(std::move(options)) {}

std::shared_ptr<IndexedPlayerItem> UriAudioSource::createPlayerItem() const {
  // Only the sound plays: the asset never opens or decodes the pictures beside it.
  AVURLAssetOptions assetOptions{{AVURLAssetHostSoundOnlyKey, true}};
  if (const auto* assetEntry = options_.find("darwinAssetOptions");
      assetEntry != nullptr && !assetEntry->isNull()) {
    if (const auto* precise = assetEntry->find("preferPreciseDurationAndTiming")) {
      assetOptions[AVURLAssetPreferPreciseDurationAndTimingKey] = precise->boolValue();
    }
  }
  NSURL url = urlForUri(uri_);
  if (!url.isFileURL() && headers_) addHeaderOptions(*headers_, assetOptions);
  auto item = std::make_shared<IndexedPlayerItem>(
      AVURLAsset::URLAssetWithURL(url, std::move(assetOptions)));
  item->setAudioTimePitchAlgorithm(AVAudioTimePitchAlgorithmTimeDomain);
  applyBufferingOptions(*item);
  return item;
}

void UriAudioSource::applyBufferingOptions(IndexedPlayerItem& item) const {
  const auto& duration = load_control_->preferredForwardBufferDuration();
  if (!duration || !duration->isNull()) {
    int64_t microseconds = duration ? duration->intValue() : 0;
    item.setPreferredForwardBufferDuration(static_cast<double>(microseconds / 1000) / 1000.0);
  }
  item.setCanUseNetworkResourcesForLiveStreamingWhilePaused(
      load_control_->canUseNetworkResourcesForLiveStreamingWhilePaused());
  const auto& bitRate = load_control_->preferredPeakBitRate();
  if (!bitRate || !bitRate->isNull()) {
    item.setPreferredPeakBitRate(bitRate ? bitRate->doubleValue() : 0.0);
  }
}

void UriAudioSource::applyCanUseNetworkResourcesForLiveStreamingWhilePaused() {
  for (const auto& item : {player_item_, player_item2_}) {
    if (item) {
      item->setCanUseNetworkResourcesForLiveStreamingWhilePaused(
          load_control_->canUseNetworkResourcesForLiveStreamingWhilePaused());
    }
  }
}

void UriAudioSource::applyPreferredPeakBitRate() {
  const auto& bitRate = load_control_->preferredPeakBitRate();
  if (bitRate && bitRate->isNull()) return;
  for (const auto& item : {player_item_, player_item2_}) {
    if (item) item->setPreferredPeakBitRate(bitRate ? bitRate->doubleValue() : 0.0);
  }
}

void UriAudioSource::preparePlayerItem2() {
  if (player_item2_) return;
  player_item2_ = createPlayerItem();
  player_item2_->setAudioSource(player_item_ ? player_item_->audioSource()
                                             : std::shared_ptr<IndexedAudioSource>());
}

CMTime UriAudioSource::seekableOffset() const {
  return player_item_ ? startOf(*player_item_) : kCMTimeZero;
}

CMTime UriAudioSource::startOf(const AVPlayerItem& item) const {
  const auto& ranges = item.seekableTimeRanges();
  return ranges.empty() ? kCMTimeZero : ranges.back().start;
}

void UriAudioSource::seek(CMTime position, SeekCompletion completion) {
  if (queueSeekUntilReady(position, completion)) return;
  if (!player_item_) {
    if (completion) completion(false);
    return;
  }
  player_item_->seekToTime(CMTimeAdd(position, seekableOffset()), kCMTimeZero, kCMTimeZero,
                           std::move(completion));
}

CMTime UriAudioSource::duration() const {
  if (!player_item_) return kCMTimeZero;
  const auto& ranges = player_item_->seekableTimeRanges();
  return ranges.empty() ? player_item_->duration() : ranges.back().duration;
}

CMTime UriAudioSource::position() const {
  if (!player_item_) return kCMTimeZero;
  return CMTimeSubtract(player_item_->currentTime(), seekableOffset());
}

CMTime UriAudioSource::bufferedPosition() const {
  if (!player_item_) return kCMTimeZero;
  const auto& ranges = player_item_->loadedTimeRanges();
  return ranges.empty() ? player_item_->currentTime() : CMTimeRangeGetEnd(ranges.back());
}

}  // namespace playlist_audio
