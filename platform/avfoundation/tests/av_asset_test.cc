// Assets and tracks: keys that load on demand and complete on a background thread, once per
// request; the tracks, variants and media-selection groups they then report.
#include "platform/avfoundation/av_asset.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/avfoundation/av_url_asset.h"
#include "platform/avfoundation/testing/av_asset_controls.h"
#include "platform/dispatch/testing/main_queue_pump.h"

namespace {

namespace av = avfoundation::testing;
using dispatch::testing::drainUntilIdle;

std::shared_ptr<AVURLAsset> makeAsset() {
  return AVURLAsset::URLAssetWithURL(*NSURL::URLWithString("https://example.com/v.m3u8"), {});
}

// Counts completions and the threads they ran on.
class Completions {
 public:
  std::function<void()> handler() {
    return [this] {
      std::lock_guard lock(mutex_);
      threads_.push_back(std::this_thread::get_id());
    };
  }
  size_t count() {
    EXPECT_TRUE(drainUntilIdle());
    std::lock_guard lock(mutex_);
    return threads_.size();
  }
  bool allOffThisThread() {
    std::lock_guard lock(mutex_);
    for (auto id : threads_) {
      if (id == std::this_thread::get_id()) return false;
    }
    return true;
  }

 private:
  std::mutex mutex_;
  std::vector<std::thread::id> threads_;
};

TEST(AVAssetKeyLoadingTest, CompletesOnceInTheBackgroundWhenEveryKeyHasSettled) {
  auto asset = makeAsset();
  Completions completions;
  EXPECT_EQ(asset->statusOfValueForKey("tracks", nullptr), AVKeyValueStatusUnknown);
  asset->loadValuesAsynchronouslyForKeys({"tracks", "duration"}, completions.handler());
  EXPECT_EQ(asset->statusOfValueForKey("tracks", nullptr), AVKeyValueStatusLoading);

  av::finishLoadingKey(*asset, "tracks");
  EXPECT_EQ(completions.count(), 0u);  // "duration" is still loading
  av::cancelLoadingKey(*asset, "duration");
  EXPECT_EQ(completions.count(), 1u);
  EXPECT_EQ(asset->statusOfValueForKey("duration", nullptr), AVKeyValueStatusCancelled);

  // Settling a key again completes nothing that already completed.
  av::finishLoadingKey(*asset, "tracks");
  EXPECT_EQ(completions.count(), 1u);
  // Keys already settled complete a new request at once, still off the caller's thread.
  asset->loadValuesAsynchronouslyForKeys({"tracks"}, completions.handler());
  EXPECT_EQ(completions.count(), 2u);
  EXPECT_TRUE(completions.allOffThisThread());
}

TEST(AVAssetKeyLoadingTest, EachWaitingRequestCompletesWhenItsOwnKeysSettle) {
  auto asset = makeAsset();
  Completions tracks, variants, both;
  asset->loadValuesAsynchronouslyForKeys({"tracks"}, tracks.handler());
  asset->loadValuesAsynchronouslyForKeys({"variants"}, variants.handler());
  asset->loadValuesAsynchronouslyForKeys({"tracks", "variants"}, both.handler());
  asset->loadValuesAsynchronouslyForKeys({"tracks"}, nullptr);  // no handler: nothing to run
  av::finishLoadingKey(*asset, "variants");
  EXPECT_EQ(variants.count(), 1u);
  EXPECT_EQ(tracks.count() + both.count(), 0u);
  av::finishLoadingKey(*asset, "tracks");
  EXPECT_EQ(tracks.count(), 1u);
  EXPECT_EQ(both.count(), 1u);
  EXPECT_EQ(variants.count(), 1u);
}

TEST(AVAssetKeyLoadingTest, AFailedKeyReportsItsError) {
  auto asset = makeAsset();
  NSError error{"AVFoundationErrorDomain", -11828, "Cannot Open"};
  av::failLoadingKey(*asset, "tracks", error);
  NSError reported;
  EXPECT_EQ(asset->statusOfValueForKey("tracks", &reported), AVKeyValueStatusFailed);
  EXPECT_EQ(reported, error);
  EXPECT_EQ(asset->statusOfValueForKey("tracks", nullptr), AVKeyValueStatusFailed);

  // A later success replaces the failure and its error.
  av::finishLoadingKey(*asset, "tracks");
  NSError untouched{"kept", 1, ""};
  EXPECT_EQ(asset->statusOfValueForKey("tracks", &untouched), AVKeyValueStatusLoaded);
  EXPECT_EQ(untouched.domain, "kept");
}

TEST(AVAssetTest, TracksLoadByMediaTypeOrAnswerTheLoadError) {
  auto asset = makeAsset();
  auto video = std::make_shared<AVAssetTrack>(AVAssetTrackProperties{1, AVMediaTypeVideo});
  auto audio = std::make_shared<AVAssetTrack>(AVAssetTrackProperties{2, AVMediaTypeAudio});
  av::setAssetTracks(*asset, {video, audio});
  EXPECT_EQ(asset->tracksWithMediaType(AVMediaTypeVideo),
            std::vector<std::shared_ptr<AVAssetTrack>>{video});
  EXPECT_EQ(asset->tracks().size(), 2u);

  std::mutex mutex;
  std::vector<
      std::pair<std::optional<std::vector<std::shared_ptr<AVAssetTrack>>>, std::optional<NSError>>>
      answers;
  auto record = [&](auto tracks, auto error) {
    std::lock_guard lock(mutex);
    answers.emplace_back(std::move(tracks), std::move(error));
  };
  asset->loadTracksWithMediaType(AVMediaTypeAudio, record);
  av::finishLoadingKey(*asset, "tracks");
  ASSERT_TRUE(drainUntilIdle());
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0].first, std::vector<std::shared_ptr<AVAssetTrack>>{audio});
  EXPECT_FALSE(answers[0].second.has_value());

  auto broken = makeAsset();
  broken->loadTracksWithMediaType(AVMediaTypeVideo, record);
  av::failLoadingKey(*broken, "tracks", NSError{"d", 7, "no tracks"});
  ASSERT_TRUE(drainUntilIdle());
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_FALSE(answers[1].first.has_value());
  EXPECT_EQ(answers[1].second->code, 7);
}

TEST(AVAssetTest, ContentIsWhatTheControlsGave) {
  auto asset = makeAsset();
  EXPECT_EQ(CMTimeCompare(asset->duration(), kCMTimeZero), 0);
  EXPECT_TRUE(asset->variants().empty());
  EXPECT_EQ(asset->mediaSelectionGroupForMediaCharacteristic(AVMediaCharacteristicAudible),
            nullptr);
  av::setAssetDuration(*asset, CMTimeMake(90, 1));
  av::setVariants(*asset, {AVAssetVariant{5e6, std::nullopt}});
  auto group = std::make_shared<const AVMediaSelectionGroup>();
  av::setMediaSelectionGroup(*asset, AVMediaCharacteristicAudible, group);
  EXPECT_EQ(CMTimeCompare(asset->duration(), CMTimeMake(90, 1)), 0);
  ASSERT_EQ(asset->variants().size(), 1u);
  EXPECT_EQ(asset->variants()[0].peakBitRate, 5e6);
  EXPECT_EQ(asset->mediaSelectionGroupForMediaCharacteristic(AVMediaCharacteristicAudible), group);
  EXPECT_EQ(asset->mediaSelectionGroupForMediaCharacteristic("AVMediaCharacteristicVisual"),
            nullptr);
}

TEST(AVAssetTest, LoadsRacingEachOtherCompleteExactlyOnceEach) {
  auto asset = makeAsset();
  std::atomic<int> completed{0};
  constexpr int kRequests = 200;
  std::thread requester([&] {
    for (int i = 0; i < kRequests; ++i) {
      asset->loadValuesAsynchronouslyForKeys({"duration"}, [&] { completed.fetch_add(1); });
    }
  });
  av::finishLoadingKey(*asset, "duration");
  requester.join();
  ASSERT_TRUE(drainUntilIdle());
  EXPECT_EQ(completed.load(), kRequests);
}

}  // namespace
