// What the now-playing bridge does before anything has played in the process. Kept in a program
// of its own: the bridge's state lives for the process.
#include <gtest/gtest.h>

#include <utility>

#include "platform/flutter/testing/test_dart_side.h"
#include "platform/mediaplayer/mediaplayer.h"
#include "platform/mediaplayer/testing/media_player_controls.h"
#include "plugins/now_playing/now_playing_plugin.h"
#include "plugins/now_playing/tests/now_playing_test_support.h"

namespace now_playing {
namespace {

using flutter::testing::TestDartSide;
using mediaplayer::testing::takeNowPlayingInfoPublications;
using mediaplayer::testing::targetCount;
using testing::playbackState;
using testing::slotCommands;
using testing::Value;

TEST(NowPlayingFreshProcessTest, APausedFirstStateLeavesTheCentresUntouched) {
  static bool ran = false;
  if (std::exchange(ran, true)) GTEST_SKIP() << "needs a process of its own";
  auto first_engine = FlutterEngine::create();
  TestDartSide first{first_engine};
  NowPlayingPlugin::registerWithRegistrar(first.registrar("NowPlayingPlugin"));
  auto second_engine = FlutterEngine::create();
  TestDartSide second{second_engine};
  NowPlayingPlugin::registerWithRegistrar(second.registrar("NowPlayingPlugin"));
  auto centre = MPNowPlayingInfoCenter::defaultCenter();

  // Paused at the initial position and speed, from the second engine.
  auto reply = second.invokeMethod(kClientChannelName, "setState",
                                   playbackState(false, 0, Value(1.0), {0, 1, 2, 9}));
  EXPECT_TRUE(reply.isSuccess()) << reply.describe();
  EXPECT_TRUE(takeNowPlayingInfoPublications().empty());
  EXPECT_EQ(centre->playbackState(), MPNowPlayingPlaybackStateUnknown);
  for (const auto& [action, command] : slotCommands()) {
    EXPECT_EQ(targetCount(*command), 0u) << action;
  }

  // A paused state that moves is published, still without commands.
  first.invokeMethod(kHandlerChannelName, "setState", playbackState(false, 2000, Value(1.0)));
  auto published = takeNowPlayingInfoPublications();
  ASSERT_EQ(published.size(), 1u);
  EXPECT_EQ(published[0]->at(MPNowPlayingInfoPropertyElapsedPlaybackTime), 2.0);
  EXPECT_EQ(published[0]->at(MPNowPlayingInfoPropertyPlaybackRate), 0.0);
  EXPECT_EQ(centre->playbackState(), MPNowPlayingPlaybackStatePaused);
  EXPECT_EQ(targetCount(*MPRemoteCommandCenter::sharedCommandCenter()->togglePlayPauseCommand()),
            0u);

  // Playing activates the commands.
  first.invokeMethod(kHandlerChannelName, "setState", playbackState(true, 2000, Value(1.0), {9}));
  EXPECT_EQ(targetCount(*MPRemoteCommandCenter::sharedCommandCenter()->togglePlayPauseCommand()),
            1u);
}

}  // namespace
}  // namespace now_playing
