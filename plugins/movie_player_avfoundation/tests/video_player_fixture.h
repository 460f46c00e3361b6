// The fixture the video player tests share: one registered plug-in, helpers that call the
// plug-in-level and per-player channels as the Dart side does, and the stand-ins' objects behind
// the newest player.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/avfoundation/testing/av_asset_controls.h"
#include "platform/avfoundation/testing/av_foundation_controls.h"
#include "platform/avfoundation/testing/av_video_output_controls.h"
#include "platform/flutter/testing/test_dart_side.h"
#include "platform/foundation/testing/foundation_controls.h"
#include "platform/quartzcore/testing/display_link_controls.h"
#include "platform/quartzcore/testing/media_clock_controls.h"
#include "plugins/movie_player_avfoundation/messages.g.h"
#include "plugins/movie_player_avfoundation/video_player_instance_messages.g.h"
#include "plugins/movie_player_avfoundation/video_player_plugin.h"

namespace movie_player_avfoundation::testing {

namespace av = avfoundation::testing;
using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;
using flutter::testing::TestDartSide;

inline const std::string kApi = "dev.flutter.pigeon.movie_player_avfoundation.AVFoundationVideoPlayerApi.";
inline const std::string kInstance =
    "dev.flutter.pigeon.movie_player_avfoundation.VideoPlayerInstanceApi.";

inline std::string events(int64_t playerId) {
  return "com.velmora.host/videoPlayer/videoEvents" + std::to_string(playerId);
}

class VideoPlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The tests drive the display refreshes themselves. Never released: a player may outlive its
    // test until the engine goes.
    quartzcore::testing::holdDisplayRefresh(true);
    av::holdDisplayLinkRefresh(true);
    VideoPlayerPlugin::registerWithRegistrar(dart.registrar("VideoPlayerPlugin"));
  }
  void TearDown() override {
    dart.drain();
    foundation::testing::setEmulatedOperatingSystemVersion({15, 0, 0});
    quartzcore::testing::useMachineClock();
    av::setSeeksHeld(false);
  }

  // A plug-in-level call; the reply list.
  ValueList api(const std::string& operation, ValueList arguments = {}) {
    auto reply = dart.sendMessage(kApi + operation, Value(std::move(arguments)),
                                  VideoPlayerPluginMessagesPigeonCodec());
    return reply && reply->asList() ? *reply->asList() : ValueList{};
  }
  static Value options(const std::string& uri, ValueMap headers = {}) {
    std::map<std::string, std::string> fields;
    for (const auto& [name, value] : headers) fields[*name.asString()] = *value.asString();
    return Value(std::make_shared<const CreationOptions>(uri, fields));
  }
  int64_t createPlatformPlayer(const std::string& uri = "https://example.com/a.mp4") {
    return *api("createForPlatformView", {options(uri)})[0].asInteger();
  }
  TexturePlayerIds createTexturePlayer(const std::string& uri = "https://example.com/a.mp4") {
    return *api("createForTextureView", {options(uri)})[0].asCustom<TexturePlayerIds>();
  }
  // A per-player call; the reply list.
  ValueList call(int64_t playerId, const std::string& operation, ValueList arguments = {}) {
    auto reply = dart.sendMessage(kInstance + operation + "." + std::to_string(playerId),
                                  Value(std::move(arguments)),
                                  HVPVideoPlayerInstanceMessagesPigeonCodec());
    return reply && reply->asList() ? *reply->asList() : ValueList{};
  }

  // The newest player's platform objects.
  std::shared_ptr<AVPlayer> avPlayer() { return av::players().back(); }
  std::shared_ptr<AVPlayerItem> item() { return avPlayer()->currentItem(); }
  // Makes the newest item ready, listening first so that "initialized" is delivered.
  void makeReady(int64_t playerId, CMTime duration = CMTimeMake(60, 1)) {
    ASSERT_TRUE(dart.listen(events(playerId)).isSuccess());
    av::setAssetDuration(*item()->asset(), duration);
    av::makeItemReady(*item());
  }
  const std::vector<flutter::testing::ReceivedEvent>& received(int64_t playerId) {
    dart.drain();
    return dart.events(events(playerId));
  }
  std::string lastEventName(int64_t playerId) {
    const auto& all = received(playerId);
    if (all.empty() || !all.back().isValue()) return "";
    const Value* name = all.back().value().find("event");
    return name != nullptr && name->asString() ? *name->asString() : "";
  }

  std::shared_ptr<FlutterEngine> engine = FlutterEngine::create();
  TestDartSide dart{engine};
};

}  // namespace movie_player_avfoundation::testing
