// Plug-ins registered by the registrant keep working once their registrars are gone, as they are
// in the running host.
#include <gtest/gtest.h>

#include "host/generated_plugin_registrant.h"
#include "platform/flutter/flutter_view_controller.h"
#include "platform/flutter/testing/test_dart_side.h"

namespace {

using flutter::Value;
using flutter::ValueMap;

TEST(RegisteredPluginsTest, AnswerAfterTheRegistrarsAreReleased) {
  auto controller = std::make_shared<FlutterViewController>();
  registerPlugins(*controller);
  flutter::testing::TestDartSide dart(controller->engine());

  auto players = dart.invokeMethod("com.quillmark.playlist_audio.methods", "init",
                                   Value(ValueMap{{Value("id"), Value("p1")}}));
  EXPECT_TRUE(players.isSuccess()) << players.describe();
  EXPECT_TRUE(dart.invokeMethod("com.quillmark.playlist_audio.methods", "disposePlayer",
                                Value(ValueMap{{Value("id"), Value("p1")}}))
                  .isSuccess());

  for (const auto& [channel, method] : std::vector<std::pair<std::string, std::string>>{
           {"com.quillmark.session_config", "getConfiguration"},
           {"dev.velmora.desktop/package_info", "getAll"},
           {"display_wake_macos", "enabled"},
           {"com.velmora.litedb", "getDatabasesPath"},
           {"dev.velmora.plugins/screen_geometry", "getAllDisplays"}}) {
    auto reply = dart.invokeMethod(channel, method, channel == "com.quillmark.session_config"
                                                        ? Value(flutter::ValueList{})
                                                        : Value());
    EXPECT_TRUE(reply.isSuccess()) << channel << " " << method << ": " << reply.describe();
  }

  // A message-API plug-in: the reply envelope of a success is a one-element list.
  auto initialized = dart.sendMessage(
      "dev.flutter.pigeon.movie_player_avfoundation.AVFoundationVideoPlayerApi.initialize",
      Value(flutter::ValueList{}));
  ASSERT_TRUE(initialized.has_value());
  EXPECT_EQ(*initialized, Value(flutter::ValueList{Value()}));
  controller->engine()->shutDown();
}

}  // namespace
