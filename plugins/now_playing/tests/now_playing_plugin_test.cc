// The now-playing bridge driven through its channels, with several engines in one process.
//
// The bridge's state and its handler channel belong to the process and to the first engine that
// registered it, for good: every test here talks to one first engine that outlives them all, and
// starts from the state that the fixture brings the bridge to through the channel.
#include "plugins/now_playing/now_playing_plugin.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <limits>

#include "platform/dispatch/testing/process_threads.h"
#include "platform/flutter/testing/test_dart_side.h"
#include "platform/mediaplayer/mediaplayer.h"
#include "platform/mediaplayer/testing/fifo_guard.h"
#include "platform/mediaplayer/testing/media_player_controls.h"
#include "platform/mediaplayer/testing/sample_image_writer.h"
#include "plugins/now_playing/tests/now_playing_test_support.h"

namespace now_playing {
namespace {

namespace fs = std::filesystem;
using flutter::testing::MethodReply;
using flutter::testing::TestDartSide;
using mediaplayer::testing::sendRemoteCommand;
using mediaplayer::testing::takeNowPlayingInfoPublications;
using mediaplayer::testing::targetCount;
using testing::kEveryAction;
using testing::playbackState;
using testing::slotCommands;
using testing::Value;
using testing::ValueList;
using testing::ValueMap;

std::shared_ptr<FlutterEngine> firstEngine() {
  static auto* const engine = [] {
    auto* created = new std::shared_ptr<FlutterEngine>(FlutterEngine::create());
    NowPlayingPlugin::registerWithRegistrar(*(*created)->registrarForPlugin("NowPlayingPlugin"));
    return created;
  }();
  return *engine;
}

// Another engine of the process, with the plug-in registered.
struct LaterEngine {
  LaterEngine() { NowPlayingPlugin::registerWithRegistrar(dart.registrar("NowPlayingPlugin")); }
  std::shared_ptr<FlutterEngine> engine = FlutterEngine::create();
  TestDartSide dart{engine};
};

class NowPlayingTest : public ::testing::Test {
 protected:
  // Inactive, no media item, no intervals, paused at 0 at speed 1.0, nothing shown.
  void SetUp() override {
    ASSERT_TRUE(call("configure", Value(ValueMap{{"config", Value(ValueMap{})}})).isSuccess());
    ASSERT_TRUE(call("setMediaItem", Value(ValueMap{{"mediaItem", Value()}})).isSuccess());
    ASSERT_TRUE(call("setState", playbackState(false, 0, Value(1.0))).isSuccess());
    ASSERT_TRUE(call("stopService").isSuccess());
    takeNowPlayingInfoPublications();
  }

  MethodReply call(const std::string& method, Value arguments = Value()) {
    return dart.invokeMethod(kHandlerChannelName, method, std::move(arguments));
  }

  void expectEmptyMapAnswer(const MethodReply& reply) {
    ASSERT_TRUE(reply.isSuccess()) << reply.describe();
    EXPECT_EQ(reply.value, Value(ValueMap{}));
  }

  // The one publication since the last look.
  MPNowPlayingInfo onePublication() {
    auto published = takeNowPlayingInfoPublications();
    if (published.size() != 1 || !published[0]) {
      ADD_FAILURE() << "expected one publication, got " << published.size();
      return {};
    }
    return *published[0];
  }

  std::vector<FlutterMethodCall> commandCalls() const {
    return dart.callsFromHost(kHandlerChannelName);
  }

  TestDartSide dart{firstEngine()};
  std::shared_ptr<MPRemoteCommandCenter> commands = MPRemoteCommandCenter::sharedCommandCenter();
  std::shared_ptr<MPNowPlayingInfoCenter> centre = MPNowPlayingInfoCenter::defaultCenter();
};

TEST_F(NowPlayingTest, UnknownNamesAreLeftToTheEngineOnEveryChannelOfEveryEngine) {
  LaterEngine later;
  dart.expectFault("dropped without an answer");
  later.dart.expectFault("dropped without an answer");

  // The plug-in lets go of these calls; the engine answers each so that no caller waits forever.
  auto on_handler = dart.invokeMethodAsync(kHandlerChannelName, "getQueue");
  auto on_client = dart.invokeMethodAsync(kClientChannelName, "SetState");
  auto on_later_client = later.dart.invokeMethodAsync(kClientChannelName, "");
  for (const auto* pending : {&on_handler, &on_client, &on_later_client}) {
    auto reply = pending->wait();
    ASSERT_TRUE(reply.isError()) << reply.describe();
    EXPECT_EQ(reply.error.code, "unanswered_call");
  }

  // The handler channel is the first engine's alone.
  EXPECT_TRUE(later.dart.invokeMethod(kHandlerChannelName, "setQueue").isNotImplemented());
}

TEST_F(NowPlayingTest, KnownNamesAnswerAnEmptyMapOnEitherChannelOfEitherEngine) {
  LaterEngine later;
  for (const char* method :
       {"configure", "setState", "setQueue", "setMediaItem", "setPlaybackInfo",
        "notifyChildrenChanged", "androidForceEnableMediaButtons", "stopService"}) {
    SCOPED_TRACE(method);
    expectEmptyMapAnswer(dart.invokeMethod(kHandlerChannelName, method));
    expectEmptyMapAnswer(dart.invokeMethod(kClientChannelName, method));
    expectEmptyMapAnswer(later.dart.invokeMethod(kClientChannelName, method, Value(ValueMap{})));
  }
}

TEST_F(NowPlayingTest, BadArgumentsAnswerAnErrorAndChangeNothing) {
  auto state = [](ValueMap entries) {
    return Value(ValueMap{{"state", Value(std::move(entries))}});
  };
  auto item = [](ValueMap entries) {
    return Value(ValueMap{{"mediaItem", Value(std::move(entries))}});
  };
  auto config = [](ValueMap entries) {
    return Value(ValueMap{{"config", Value(std::move(entries))}});
  };
  const std::vector<std::pair<std::string, Value>> bad_calls = {
      {"setState", Value("playing")},
      {"setState", Value(ValueMap{{"state", Value(int32_t{1})}})},
      {"setState", state({{"playing", Value(true)}, {"speed", Value("fast")}})},
      {"setState", state({{"playing", Value(true)},
                          {"speed", Value(std::numeric_limits<double>::quiet_NaN())}})},
      {"setState", state({{"playing", Value(true)}, {"updatePosition", Value(1e300)}})},
      {"setState", state({{"playing", Value(true)}, {"controls", Value("all")}})},
      {"setState", state({{"playing", Value(true)}, {"controls", Value(ValueList{Value(2)})}})},
      {"setState",
       state({{"playing", Value(true)},
              {"controls", Value(ValueList{Value(ValueMap{{"action", Value("2")}})})}})},
      {"setState",
       state({{"playing", Value(true)}, {"systemActions", Value(ValueList{Value(2.0)})}})},
      {"setMediaItem", Value(ValueMap{{"mediaItem", Value(ValueList{})}})},
      {"setMediaItem", item({{"title", Value(int32_t{7})}})},
      {"setMediaItem", item({{"isLive", Value(int32_t{1})}})},
      {"setMediaItem", item({{"extras", Value("cache")}})},
      {"setMediaItem", item({{"extras", Value(ValueMap{{"artCacheFile", Value(ValueList{})}})}})},
      {"configure", Value(ValueMap{{"config", Value(int32_t{10})}})},
      {"configure", config({{"rewindInterval", Value(std::numeric_limits<double>::infinity())}})},
  };
  for (const auto& [method, arguments] : bad_calls) {
    auto reply = call(method, arguments);
    ASSERT_TRUE(reply.isError()) << method << " " << arguments.debugString();
    EXPECT_EQ(reply.error.code, "bad_arguments") << arguments.debugString();
  }
  // Nothing was published, nothing activated.
  EXPECT_TRUE(takeNowPlayingInfoPublications().empty());
  EXPECT_EQ(targetCount(*commands->togglePlayPauseCommand()), 0u);
}

TEST_F(NowPlayingTest, PublishesOncePerChangeAndNothingForAnIdenticalState) {
  call("setMediaItem", Value(ValueMap{{"mediaItem", Value(ValueMap{{"title", Value("Song")},
                                                                   {"album", Value("Album")},
                                                                   {"artist", Value("Artist")},
                                                                   {"duration", Value(180000)},
                                                                   {"isLive", Value(false)}})}}));
  takeNowPlayingInfoPublications();

  call("setState", playbackState(true, 5000, Value(1.5)));
  MPNowPlayingInfo playing = {
      {MPMediaItemPropertyTitle, "Song"},
      {MPMediaItemPropertyAlbumTitle, "Album"},
      {MPMediaItemPropertyArtist, "Artist"},
      {MPMediaItemPropertyPlaybackDuration, 180.0},
      {MPNowPlayingInfoPropertyMediaType, int64_t{MPNowPlayingInfoMediaTypeAudio}},
      {MPNowPlayingInfoPropertyPlaybackRate, 1.5},
      {MPNowPlayingInfoPropertyDefaultPlaybackRate, 1.5},
      {MPNowPlayingInfoPropertyElapsedPlaybackTime, 5.0},
      {MPNowPlayingInfoPropertyIsLiveStream, false}};
  EXPECT_EQ(onePublication(), playing);
  EXPECT_EQ(centre->nowPlayingInfo(), playing);
  EXPECT_EQ(centre->playbackState(), MPNowPlayingPlaybackStatePlaying);

  // Same flag, speed and position: nothing, even with other controls or the speed as an integer.
  call("setState", playbackState(true, 5000, Value(1.5), {1, 2}));
  EXPECT_TRUE(takeNowPlayingInfoPublications().empty());
  call("setState", playbackState(true, 5000, Value(1.0)));
  takeNowPlayingInfoPublications();
  call("setState", playbackState(true, 5000, Value(int32_t{1})));
  EXPECT_TRUE(takeNowPlayingInfoPublications().empty());

  call("setState", playbackState(true, 6250, Value(1.0)));
  EXPECT_EQ(onePublication().at(MPNowPlayingInfoPropertyElapsedPlaybackTime), 6.25);

  call("setState", playbackState(false, 6250, Value(1.0)));
  auto paused = onePublication();
  EXPECT_EQ(paused.at(MPNowPlayingInfoPropertyPlaybackRate), 0.0);
  EXPECT_EQ(paused.at(MPNowPlayingInfoPropertyDefaultPlaybackRate), 0.0);
  EXPECT_EQ(centre->playbackState(), MPNowPlayingPlaybackStatePaused);
}

TEST_F(NowPlayingTest, SkipIntervalsAreOfferedInWholeSecondsTruncated) {
  call("configure",
       Value(ValueMap{{"config", Value(ValueMap{{"fastForwardInterval", Value(10000)},
                                                {"rewindInterval", Value(999)},
                                                {"androidStopForeground", Value(true)}})}}));
  call("setState", playbackState(true, 0, Value(1.0), {3, 6}));
  EXPECT_EQ(commands->skipForwardCommand()->preferredIntervals(), std::vector<double>{10});
  EXPECT_EQ(commands->skipBackwardCommand()->preferredIntervals(), std::vector<double>{0});
  EXPECT_EQ(sendRemoteCommand(*commands->skipBackwardCommand()).size(), 1u);
  ASSERT_EQ(commandCalls().size(), 1u);
  EXPECT_EQ(commandCalls()[0].method, "rewind");

  // Without an interval of at least a millisecond the command is offered but does nothing.
  call("stopService");
  call("configure",
       Value(ValueMap{{"config", Value(ValueMap{{"fastForwardInterval", Value(0)}})}}));
  call("setState", playbackState(true, 0, Value(1.0), {3, 6}));
  for (const auto& skip : {commands->skipForwardCommand(), commands->skipBackwardCommand()}) {
    EXPECT_TRUE(skip->isEnabled());
    EXPECT_TRUE(sendRemoteCommand(*skip).empty());
  }
}

TEST_F(NowPlayingTest, EveryRemoteCommandReachesTheFirstEnginesHandlerChannel) {
  LaterEngine later;
  later.dart.invokeMethod(
      kClientChannelName, "configure",
      Value(ValueMap{{"config", Value(ValueMap{{"fastForwardInterval", Value(30000)},
                                               {"rewindInterval", Value(15000)}})}}));
  later.dart.invokeMethod(kClientChannelName, "setState",
                          playbackState(true, 0, Value(1.0), kEveryAction));

  auto c = commands;
  auto empty = Value(ValueMap{});
  auto one = [](const char* key, Value value) { return Value(ValueMap{{key, std::move(value)}}); };
  const std::vector<std::tuple<std::shared_ptr<MPRemoteCommand>,
                               std::shared_ptr<MPRemoteCommandEvent>, std::string, Value>>
      cases = {
          {c->stopCommand(), nullptr, "stop", empty},
          {c->pauseCommand(), nullptr, "pause", empty},
          {c->playCommand(), nullptr, "play", empty},
          {c->skipBackwardCommand(), nullptr, "rewind", empty},
          {c->previousTrackCommand(), nullptr, "skipToPrevious", empty},
          {c->nextTrackCommand(), nullptr, "skipToNext", empty},
          {c->skipForwardCommand(), nullptr, "fastForward", empty},
          {c->changePlaybackPositionCommand(),
           std::make_shared<MPChangePlaybackPositionCommandEvent>(0.0000019), "seek",
           one("position", Value(int64_t{1}))},
          {c->changePlaybackPositionCommand(),
           std::make_shared<MPChangePlaybackPositionCommandEvent>(5400.25), "seek",
           one("position", Value(int64_t{5400250000}))},
          {c->togglePlayPauseCommand(), nullptr, "click", one("button", Value(0))},
          {c->changeRepeatModeCommand(),
           std::make_shared<MPChangeRepeatModeCommandEvent>(MPRepeatTypeOff), "setRepeatMode",
           one("repeatMode", Value(0))},
          {c->changeRepeatModeCommand(),
           std::make_shared<MPChangeRepeatModeCommandEvent>(MPRepeatTypeOne), "setRepeatMode",
           one("repeatMode", Value(1))},
          {c->changeRepeatModeCommand(),
           std::make_shared<MPChangeRepeatModeCommandEvent>(MPRepeatType{7}), "setRepeatMode",
           one("repeatMode", Value(2))},
          {c->changeShuffleModeCommand(),
           std::make_shared<MPChangeShuffleModeCommandEvent>(MPShuffleTypeItems), "setShuffleMode",
           one("shuffleMode", Value(1))},
          {c->changeShuffleModeCommand(),
           std::make_shared<MPChangeShuffleModeCommandEvent>(MPShuffleTypeCollections),
           "setShuffleMode", one("shuffleMode", Value(2))},
          {c->seekBackwardCommand(),
           std::make_shared<MPSeekCommandEvent>(MPSeekCommandEventTypeBeginSeeking), "seekBackward",
           one("begin", Value(true))},
          {c->seekForwardCommand(),
           std::make_shared<MPSeekCommandEvent>(MPSeekCommandEventTypeEndSeeking), "seekForward",
           one("begin", Value(false))},
          {c->changePlaybackRateCommand(), std::make_shared<MPChangePlaybackRateCommandEvent>(1.1f),
           "setSpeed", one("speed", Value(static_cast<double>(1.1f)))},
      };
  for (const auto& [command, event, method, arguments] : cases) {
    SCOPED_TRACE(method + " " + arguments.debugString());
    auto statuses = event ? sendRemoteCommand(*command, *event) : sendRemoteCommand(*command);
    EXPECT_EQ(statuses, std::vector{MPRemoteCommandHandlerStatusSuccess});
    auto calls = commandCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().method, method);
    EXPECT_EQ(calls.back().arguments, arguments);
  }
  EXPECT_EQ(commandCalls().size(), cases.size());
  EXPECT_TRUE(later.dart.callsFromHost(kHandlerChannelName).empty());
  EXPECT_TRUE(later.dart.callsFromHost(kClientChannelName).empty());
  EXPECT_TRUE(dart.callsFromHost(kClientChannelName).empty());

  // An event the command cannot carry fails and sends nothing.
  EXPECT_EQ(sendRemoteCommand(*c->changePlaybackPositionCommand()),
            std::vector{MPRemoteCommandHandlerStatusCommandFailed});
  EXPECT_EQ(sendRemoteCommand(
                *c->changePlaybackPositionCommand(),
                MPChangePlaybackPositionCommandEvent(std::numeric_limits<double>::infinity())),
            std::vector{MPRemoteCommandHandlerStatusCommandFailed});
  EXPECT_EQ(commandCalls().size(), cases.size());
}

TEST_F(NowPlayingTest, StopAndReactivationLeaveExactlyOneTargetPerCommand) {
  call("configure", Value(ValueMap{{"config", Value(ValueMap{{"fastForwardInterval", Value(30000)},
                                                             {"rewindInterval", Value(15000)}})}}));
  call("setState", playbackState(true, 0, Value(1.0), kEveryAction));
  call("stopService");
  for (const auto& [action, command] : slotCommands()) {
    EXPECT_FALSE(command->isEnabled()) << action;
    EXPECT_EQ(targetCount(*command), 0u) << action;
  }
  EXPECT_EQ(centre->nowPlayingInfo(), std::nullopt);

  call("setState", playbackState(true, 0, Value(1.0), kEveryAction));
  call("setState", playbackState(true, 1000, Value(1.0), kEveryAction));
  for (const auto& [action, command] : slotCommands()) {
    EXPECT_TRUE(command->isEnabled()) << action;
    EXPECT_EQ(targetCount(*command), 1u) << action;
  }
  sendRemoteCommand(*commands->togglePlayPauseCommand());
  EXPECT_EQ(commandCalls().size(), 1u);
}

TEST_F(NowPlayingTest, ASkipCommandDisabledWithoutAnIntervalLosesItsTarget) {
  auto rewind = [&](std::optional<int64_t> interval) {
    ValueMap config;
    if (interval) config.set("rewindInterval", Value(*interval));
    call("configure", Value(ValueMap{{"config", Value(std::move(config))}}));
  };
  rewind(10000);
  call("setState", playbackState(true, 0, Value(1.0), {3}));
  rewind(std::nullopt);
  call("setState", playbackState(true, 0, Value(1.0), {}));
  EXPECT_EQ(targetCount(*commands->skipBackwardCommand()), 0u);

  rewind(10000);
  call("setState", playbackState(true, 0, Value(1.0), {3}));
  EXPECT_EQ(sendRemoteCommand(*commands->skipBackwardCommand()).size(), 1u);
  EXPECT_EQ(commandCalls().size(), 1u);
}

TEST_F(NowPlayingTest, StopServiceWhileInactiveTouchesNoCommand) {
  auto rate = commands->changePlaybackRateCommand();
  auto toggle = commands->togglePlayPauseCommand();
  rate->setEnabled(true);
  toggle->setEnabled(true);
  auto someone_elses = toggle->addTargetWithHandler(
      [](const MPRemoteCommandEvent&) { return MPRemoteCommandHandlerStatusSuccess; });

  expectEmptyMapAnswer(call("stopService"));
  EXPECT_TRUE(rate->isEnabled());
  EXPECT_TRUE(toggle->isEnabled());
  EXPECT_EQ(targetCount(*toggle), 1u);
  toggle->removeTarget(someone_elses);
}

TEST_F(NowPlayingTest, ActionNumbersWithoutACommandAreIgnored) {
  expectEmptyMapAnswer(
      call("setState",
           playbackState(true, 0, Value(1.0),
                         {7, 10, 19, 25, 63, 64, 1000, -1, INT64_MAX, INT64_MIN}, {2, 99, -5})));
  for (const auto& [action, command] : slotCommands()) {
    EXPECT_EQ(command->isEnabled(), action == 2) << action;
    // Toggle play/pause keeps the target it got at activation, disabled or not.
    EXPECT_EQ(targetCount(*command), action == 2 || action == 9 ? 1u : 0u) << action;
  }
}

TEST_F(NowPlayingTest, AfterStopServiceTheNextPlayingStatePublishesAgain) {
  call("setMediaItem", Value(ValueMap{{"mediaItem", Value(ValueMap{{"title", Value("Song")}})}}));
  call("setState", playbackState(true, 1000, Value(1.0)));
  auto shown = centre->nowPlayingInfo();
  ASSERT_TRUE(shown);
  call("stopService");
  EXPECT_EQ(centre->nowPlayingInfo(), std::nullopt);
  takeNowPlayingInfoPublications();

  // The very state that played before the stop.
  call("setState", playbackState(true, 1000, Value(1.0)));
  EXPECT_EQ(onePublication(), *shown);
  EXPECT_EQ(centre->nowPlayingInfo(), shown);
}

class NowPlayingMediaItemTest : public NowPlayingTest {
 protected:
  void SetUp() override {
    NowPlayingTest::SetUp();
    std::string pattern = (fs::temp_directory_path() / "now-playing-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    directory_ = pattern;
  }
  void TearDown() override { fs::remove_all(directory_); }

  std::string image(const std::string& name, mediaplayer::NSImage::Format format, int width,
                    int height) {
    std::string path = (directory_ / name).string();
    EXPECT_TRUE(mediaplayer::testing::writeSampleImage(path, format, width, height));
    return path;
  }

  MPNowPlayingInfo publish(ValueMap item) {
    call("setMediaItem", Value(ValueMap{{"mediaItem", Value(std::move(item))}}));
    return onePublication();
  }

  static ValueMap withArt(std::string artCacheFile, Value artUri = Value("https://a/b.png")) {
    return ValueMap{{"title", Value("Song")},
                    {"artUri", std::move(artUri)},
                    {"extras", Value(ValueMap{{"artCacheFile", Value(std::move(artCacheFile))}})}};
  }

  static std::optional<CGSize> artworkSize(const MPNowPlayingInfo& info) {
    auto found = info.find(MPMediaItemPropertyArtwork);
    if (found == info.end()) return std::nullopt;
    auto artwork = *found->second.getIf<std::shared_ptr<MPMediaItemArtwork>>();
    auto image = artwork->imageWithSize(CGSizeMake(64, 64));
    EXPECT_EQ(image->size(), artwork->bounds().size);
    return artwork->bounds().size;
  }

  fs::path directory_;
};

TEST_F(NowPlayingMediaItemTest, ArtworkComesFromTheCachedArtFile) {
  auto png = image("art.png", mediaplayer::NSImage::Format::png, 3, 2);
  auto jpeg = image("art.jpg", mediaplayer::NSImage::Format::jpeg, 40, 30);
  std::ofstream(directory_ / "notes.txt") << "not an image";

  EXPECT_EQ(artworkSize(publish(withArt(png))), CGSizeMake(3, 2));
  EXPECT_EQ(artworkSize(publish(withArt(jpeg))), CGSizeMake(40, 30));
  // The art file counts even without an "artUri" entry.
  auto no_uri = withArt(png);
  no_uri.erase(Value("artUri"));
  EXPECT_EQ(artworkSize(publish(no_uri)), CGSizeMake(3, 2));

  EXPECT_EQ(artworkSize(publish(withArt(png, Value()))), std::nullopt);
  EXPECT_EQ(artworkSize(publish({{"title", Value("Song")}, {"artUri", Value("https://a")}})),
            std::nullopt);
  EXPECT_EQ(artworkSize(publish(withArt((directory_ / "missing.png").string()))), std::nullopt);
  EXPECT_EQ(artworkSize(publish(withArt((directory_ / "notes.txt").string()))), std::nullopt);
}

TEST_F(NowPlayingMediaItemTest, ArtFilesThatAreNotRegularFilesShowNoArtworkAndNeverBlock) {
  auto pipe = (directory_ / "art.pipe").string();
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_TRUE(mediaplayer::testing::finishesWithoutAWriter(
      pipe, [&] { EXPECT_EQ(artworkSize(publish(withArt(pipe))), std::nullopt); }));
  EXPECT_EQ(artworkSize(publish(withArt("/dev/zero"))), std::nullopt);
  EXPECT_EQ(artworkSize(publish(withArt(directory_.string()))), std::nullopt);
  auto big = image("big.png", mediaplayer::NSImage::Format::png, 4, 4);
  fs::resize_file(big, mediaplayer::NSImage::kMaxFileBytes + 1);
  EXPECT_EQ(artworkSize(publish(withArt(big))), std::nullopt);
}

TEST_F(NowPlayingMediaItemTest, ArtIsReadOffTheMainThreadAndItsTextIsNeverInflated) {
  // 2,200 compressed text chunks of 7 KB before the pixels: 15 MB to inflate, were it inflated.
  auto path = (directory_ / "texts.png").string();
  ASSERT_TRUE(mediaplayer::testing::writeTextLadenPng(path, 64, 64, 2200, 7000));
  auto cpu = [](int clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
  };
  double mainBefore = cpu(CLOCK_THREAD_CPUTIME_ID);
  double allBefore = cpu(CLOCK_PROCESS_CPUTIME_ID);
  EXPECT_EQ(artworkSize(publish(withArt(path))), CGSizeMake(64, 64));
  EXPECT_LT(cpu(CLOCK_THREAD_CPUTIME_ID) - mainBefore, 0.1);
  EXPECT_LT(cpu(CLOCK_PROCESS_CPUTIME_ID) - allBefore, 1.0);
}

// Bytes the process has read through read calls so far, all its threads together (those gone
// too), as the kernel counts them.
uint64_t bytesReadByTheProcess() {
  std::ifstream io("/proc/self/io");
  std::string key;
  uint64_t value = 0;
  while (io >> key >> value) {
    if (key == "rchar:") return value;
  }
  ADD_FAILURE() << "no read count in /proc/self/io";
  return 0;
}

TEST_F(NowPlayingMediaItemTest, ABurstOfItemsReadsTheLatestArtOnOneThreadAndShowsIt) {
  // Slow to read: 15 MB of text chunks walked before the header's end.
  auto slow = (directory_ / "slow.png").string();
  ASSERT_TRUE(mediaplayer::testing::writeTextLadenPng(slow, 64, 64, 2200, 7000));
  auto latest = image("latest.png", mediaplayer::NSImage::Format::png, 5, 3);
  const uint64_t readBefore = bytesReadByTheProcess();
  const int threadsBefore = dispatch::testing::threadCount();
  constexpr int kSuperseded = 64;
  std::vector<TestDartSide::PendingCall> calls;
  for (int i = 0; i < kSuperseded; ++i) {
    calls.push_back(dart.invokeMethodAsync(kHandlerChannelName, "setMediaItem",
                                           Value(ValueMap{{"mediaItem", Value(withArt(slow))}})));
  }
  auto last = withArt(latest);
  last.set(Value("title"), Value("Latest"));
  calls.push_back(dart.invokeMethodAsync(kHandlerChannelName, "setMediaItem",
                                         Value(ValueMap{{"mediaItem", Value(last)}})));
  for (const auto& pending : calls) expectEmptyMapAnswer(pending.wait());
  // The reads ran one after another: at most one worker more than before (and the hop back).
  EXPECT_LE(dispatch::testing::threadCount() - threadsBefore, 2);
  // A superseded item's art is read only when its read had started before it was superseded.
  const double readsOfTheSlowFile =
      static_cast<double>(bytesReadByTheProcess() - readBefore) / fs::file_size(slow);
  EXPECT_LT(readsOfTheSlowFile, 3.0);
  auto shown = centre->nowPlayingInfo();
  ASSERT_TRUE(shown);
  EXPECT_EQ(shown->at(MPMediaItemPropertyTitle), "Latest");
  EXPECT_EQ(artworkSize(*shown), CGSizeMake(5, 3));
}

TEST_F(NowPlayingMediaItemTest, DurationLiveFlagAndAbsentEntries) {
  auto live = publish({{"title", Value("Radio")}, {"duration", Value()}, {"isLive", Value(true)}});
  EXPECT_EQ(live.at(MPMediaItemPropertyTitle), "Radio");
  EXPECT_EQ(live.at(MPMediaItemPropertyPlaybackDuration), 0.0);
  EXPECT_EQ(live.at(MPNowPlayingInfoPropertyIsLiveStream), true);
  EXPECT_FALSE(live.contains(MPMediaItemPropertyArtist));

  auto timed = publish({{"duration", Value(90500)}});
  EXPECT_EQ(timed.at(MPMediaItemPropertyPlaybackDuration), 90.5);
  EXPECT_FALSE(timed.contains(MPMediaItemPropertyTitle));
  EXPECT_FALSE(timed.contains(MPNowPlayingInfoPropertyIsLiveStream));
}

TEST_F(NowPlayingMediaItemTest, AStateChangeThatChangesNoFieldPublishesNothing) {
  // Every entry given: an absent one would count as a change at each refresh.
  auto item = withArt(image("art.png", mediaplayer::NSImage::Format::png, 8, 8));
  item.set(Value("album"), Value("Album"));
  item.set(Value("artist"), Value("Artist"));
  item.set(Value("isLive"), Value(false));
  publish(item);
  // Paused, the rate shows 0 whatever the speed: the refresh finds every field as it was.
  call("setState", playbackState(false, 0, Value(2.0)));
  EXPECT_TRUE(takeNowPlayingInfoPublications().empty());
  EXPECT_EQ(centre->playbackState(), MPNowPlayingPlaybackStatePaused);
}

}  // namespace
}  // namespace now_playing
