// The buffering and asset options a player hands to its items, the URIs it accepts, and the
// difference between a null argument and a missing one.
#include <any>

#include "plugins/playlist_audio/tests/audio_player_fixture.h"

namespace playlist_audio::testing {
namespace {

using Headers = std::map<std::string, std::string>;

Value withHeaders(const std::string& id, ValueMap headers) {
  ValueMap map = *uri(id).asMap();
  map.set("headers", Value(std::move(headers)));
  return Value(std::move(map));
}

const AVURLAssetOptions& optionsOf(const std::shared_ptr<AVPlayerItem>& item) {
  return item->asset()->options();
}

std::optional<std::string> userAgentOf(const std::shared_ptr<AVPlayerItem>& item) {
  auto found = optionsOf(item).find(AVURLAssetHTTPUserAgentKey);
  if (found == optionsOf(item).end()) return std::nullopt;
  return std::any_cast<std::string>(found->second);
}

std::optional<Headers> headerFieldsOf(const std::shared_ptr<AVPlayerItem>& item) {
  auto found = optionsOf(item).find(AVURLAssetHTTPHeaderFieldsKey);
  if (found == optionsOf(item).end()) return std::nullopt;
  return std::any_cast<Headers>(found->second);
}

using AudioPlayerOptionsTest = AudioPlayerTest;

TEST_F(AudioPlayerOptionsTest, LoadControlReachesEveryItemAndTheEngine) {
  reinit(ValueMap{{"audioLoadConfiguration",
                   ValueMap{{"darwinLoadControl",
                             ValueMap{{"preferredForwardBufferDuration", int64_t{1234567}},
                                      {"canUseNetworkResourcesForLiveStreamingWhilePaused", true},
                                      {"preferredPeakBitRate", 64000.0},
                                      {"automaticallyWaitsToMinimizeStalling", true}}}}}});
  loadReady(playlist(2));
  for (const auto& item : engine()->items()) {
    EXPECT_DOUBLE_EQ(item->preferredForwardBufferDuration(), 1.234);
    EXPECT_TRUE(item->canUseNetworkResourcesForLiveStreamingWhilePaused());
    EXPECT_DOUBLE_EQ(item->preferredPeakBitRate(), 64000.0);
    EXPECT_EQ(item->audioTimePitchAlgorithm(), AVAudioTimePitchAlgorithmTimeDomain);
  }
  EXPECT_TRUE(engine()->automaticallyWaitsToMinimizeStalling());

  // The setters reach the leaves already loaded; a null bit rate leaves the items alone.
  EXPECT_EQ(
      call("setCanUseNetworkResourcesForLiveStreamingWhilePaused", ValueMap{{"enabled", false}})
          .value,
      kEmpty);
  EXPECT_EQ(call("setPreferredPeakBitRate", ValueMap{{"bitRate", nullptr}}).value, kEmpty);
  for (const auto& item : engine()->items()) {
    EXPECT_FALSE(item->canUseNetworkResourcesForLiveStreamingWhilePaused());
    EXPECT_DOUBLE_EQ(item->preferredPeakBitRate(), 64000.0);
  }
  call("setPreferredPeakBitRate", ValueMap{{"bitRate", 128000.0}});
  for (const auto& item : engine()->items())
    EXPECT_DOUBLE_EQ(item->preferredPeakBitRate(), 128000.0);
  call("setPreferredPeakBitRate", ValueMap{});
  for (const auto& item : engine()->items()) EXPECT_DOUBLE_EQ(item->preferredPeakBitRate(), 0.0);
  EXPECT_TRUE(call("setPreferredPeakBitRate", ValueMap{{"bitRate", "fast"}}).isError());
}

TEST_F(AudioPlayerOptionsTest, ForwardBufferDurationTruncatesToMilliseconds) {
  reinit(ValueMap{{"audioLoadConfiguration",
                   ValueMap{{"darwinLoadControl",
                             ValueMap{{"preferredForwardBufferDuration", int64_t{999}}}}}}});
  loadReady(uri("a"));
  EXPECT_EQ(current()->preferredForwardBufferDuration(), 0.0);
}

TEST_F(AudioPlayerOptionsTest, NullConfigurationKeepsDefaultsButAMissingOneReadsAsEmpty) {
  // Null (the fixture's player): the engine keeps waiting to minimise stalls.
  loadReady(uri("a"));
  EXPECT_TRUE(engine()->automaticallyWaitsToMinimizeStalling());
  EXPECT_FALSE(engine()->allowsExternalPlayback());

  reinit(ValueMap{});
  loadReady(uri("a"));
  EXPECT_FALSE(engine()->automaticallyWaitsToMinimizeStalling());

  reinit(ValueMap{{"audioLoadConfiguration", ValueMap{{"darwinLoadControl", nullptr}}}});
  loadReady(uri("a"));
  EXPECT_TRUE(engine()->automaticallyWaitsToMinimizeStalling());
}

TEST_F(AudioPlayerOptionsTest, EngineFlagsAreStoredBeforeAndAppliedAfterCreation) {
  call("setAllowsExternalPlayback", ValueMap{{"allowsExternalPlayback", true}});
  call("setAutomaticallyWaitsToMinimizeStalling", ValueMap{{"enabled", false}});
  loadReady(uri("a"));
  EXPECT_TRUE(engine()->allowsExternalPlayback());
  EXPECT_FALSE(engine()->automaticallyWaitsToMinimizeStalling());
  call("setAllowsExternalPlayback", ValueMap{{"allowsExternalPlayback", 2}});
  EXPECT_FALSE(engine()->allowsExternalPlayback());
  call("setVolume", ValueMap{{"volume", 0.25}});
  EXPECT_FLOAT_EQ(engine()->volume(), 0.25f);
  EXPECT_EQ(call("setSkipSilence", ValueMap{{"enabled", true}}).value, kEmpty);
  EXPECT_EQ(call("setAndroidAudioAttributes").value, kEmpty);
}

TEST_F(AudioPlayerOptionsTest, LoneUserAgentBecomesItsOwnOptionFromMacOS13) {
  foundation::testing::setEmulatedOperatingSystemVersion({13, 0, 0});
  loadReady(withHeaders("a", ValueMap{{"user-agent", "Quill/1"}}));
  EXPECT_EQ(userAgentOf(current()), "Quill/1");
  EXPECT_FALSE(headerFieldsOf(current()));

  // The stored headers are left whole: the loop's second item carries the user agent too.
  call("setLoopMode", ValueMap{{"loopMode", 1}});
  ASSERT_EQ(engine()->items().size(), 2u);
  EXPECT_EQ(userAgentOf(engine()->items()[1]), "Quill/1");

  loadReady(withHeaders("b", ValueMap{{"User-Agent", "Quill/2"}, {"X-Token", "t"}}));
  EXPECT_FALSE(userAgentOf(current()));
  EXPECT_EQ(headerFieldsOf(current()), (Headers{{"User-Agent", "Quill/2"}, {"X-Token", "t"}}));

  loadReady(withHeaders("c", ValueMap{{"X-Token", "t"}}));
  EXPECT_FALSE(userAgentOf(current()));
  EXPECT_EQ(headerFieldsOf(current()), (Headers{{"X-Token", "t"}}));
}

TEST_F(AudioPlayerOptionsTest, LoneUserAgentIsAnOrdinaryHeaderBeforeMacOS13) {
  foundation::testing::setEmulatedOperatingSystemVersion({12, 6, 0});
  loadReady(withHeaders("a", ValueMap{{"User-Agent", "Quill/1"}}));
  EXPECT_FALSE(userAgentOf(current()));
  EXPECT_EQ(headerFieldsOf(current()), (Headers{{"User-Agent", "Quill/1"}}));
}

TEST_F(AudioPlayerOptionsTest, BadHeadersAreRefused) {
  EXPECT_EQ(loadAsync(withHeaders("a", ValueMap{{"X-Count", 3}})).wait().error.code, "error");
  ValueMap notAMap = *uri("b").asMap();
  notAMap.set("headers", "X-Token: t");
  EXPECT_EQ(loadAsync(Value(notAMap)).wait().error.code, "error");
}

TEST_F(AudioPlayerOptionsTest, EveryAssetIsPlayedForItsSoundOnly) {
  loadReady(playlist(2));
  for (const auto& item : engine()->items()) {
    auto found = optionsOf(item).find(AVURLAssetHostSoundOnlyKey);
    ASSERT_NE(found, optionsOf(item).end());
    EXPECT_TRUE(std::any_cast<bool>(found->second));
  }
}

TEST_F(AudioPlayerOptionsTest, PreciseTimingIsAnAssetOption) {
  ValueMap map = *uri("a").asMap();
  map.set("options",
          ValueMap{{"darwinAssetOptions", ValueMap{{"preferPreciseDurationAndTiming", true}}}});
  loadReady(Value(map));
  auto found = optionsOf(current()).find(AVURLAssetPreferPreciseDurationAndTimingKey);
  ASSERT_NE(found, optionsOf(current()).end());
  EXPECT_TRUE(std::any_cast<bool>(found->second));

  map.set("options", ValueMap{{"darwinAssetOptions", ValueMap{}}});
  loadReady(Value(map));
  EXPECT_EQ(optionsOf(current()).count(AVURLAssetPreferPreciseDurationAndTimingKey), 0u);
}

TEST_F(AudioPlayerOptionsTest, FileUrisAreDecodedAndCarryNoHeaders) {
  foundation::testing::setEmulatedOperatingSystemVersion({13, 0, 0});
  Value file = ValueMap{{"type", "progressive"},
                        {"id", "f"},
                        {"uri", "file:///music/my%20song.mp3"},
                        {"headers", ValueMap{{"User-Agent", "Quill/1"}}}};
  loadReady(file);
  const NSURL& url = current()->asset()->URL();
  EXPECT_TRUE(url.isFileURL());
  EXPECT_EQ(url.path(), "/music/my song.mp3");
  EXPECT_EQ(optionsOf(current()).count(AVURLAssetHTTPUserAgentKey), 0u);
  EXPECT_EQ(optionsOf(current()).count(AVURLAssetHTTPHeaderFieldsKey), 0u);

  // Other URIs are taken as they are, escapes included.
  loadReady(ValueMap{{"type", "hls"}, {"id", "h"}, {"uri", "https://example.com/a%20b.m3u8"}});
  EXPECT_EQ(current()->asset()->URL().absoluteString(), "https://example.com/a%20b.m3u8");

  auto badEscape =
      loadAsync(ValueMap{{"type", "progressive"}, {"id", "x"}, {"uri", "file:///a%zz"}});
  EXPECT_EQ(badEscape.wait().error.code, "error");
  auto notAUrl =
      loadAsync(ValueMap{{"type", "dash"}, {"id", "y"}, {"uri", "http://exa mple.com/\x01"}});
  EXPECT_EQ(notAUrl.wait().error.code, "error");
}

TEST_F(AudioPlayerOptionsTest, NullAndMissingArgumentsDiffer) {
  loadReady(playlist(2));
  av::setSeeksHeld(true);
  // A null position is the end; a missing one is zero.
  auto toEnd = seekAsync(nullptr);
  dart.drain();
  EXPECT_TRUE(CMTIME_IS_POSITIVE_INFINITY(*av::pendingSeekTime(*current())));
  av::completePendingSeek(*current());
  EXPECT_TRUE(toEnd.wait().isSuccess());
  auto toStart = callAsync("seek", ValueMap{{"index", nullptr}});
  dart.drain();
  EXPECT_EQ(CMTimeGetSeconds(*av::pendingSeekTime(*current())), 0.0);
  av::completePendingSeek(*current());
  EXPECT_TRUE(toStart.wait().isSuccess());
  av::setSeeksHeld(false);

  // A null initial index is the first leaf; a missing one too; a null initial position seeks
  // nowhere, a missing one seeks to zero.
  av::setSeeksHeld(true);
  auto nulls = loadAsync(playlist(2));
  EXPECT_FALSE(av::hasPendingSeek(*current()));
  av::makeItemReady(*current(), seconds(60));
  EXPECT_TRUE(nulls.wait().isSuccess());
  auto missing = callAsync("load", ValueMap{{"audioSource", playlist(2)}});
  auto first = current();
  av::makeItemReady(*first, seconds(60));
  EXPECT_TRUE(missing.wait().isSuccess());
  EXPECT_EQ(name(first), "s0.mp3");
  dart.drain();
  EXPECT_EQ(av::pendingSeekTime(*first), kCMTimeZero);

  // Missing keys read as 0 or false; a wrong type is the generic error.
  EXPECT_EQ(call("setShuffleMode", ValueMap{}).value, kEmpty);
  auto wrong = call("setLoopMode", ValueMap{{"loopMode", "all"}});
  EXPECT_EQ(wrong.error.code, "error");
  EXPECT_EQ(wrong.error.message, "Error in handleMethodCall");
  EXPECT_TRUE(call("pause", Value("not a map")).isError());
}

}  // namespace
}  // namespace playlist_audio::testing
