// What the audio-session store answers before anything was set. Kept in a program of its own:
// the configuration lives for the process.
#include <gtest/gtest.h>

#include <utility>

#include "platform/flutter/testing/test_dart_side.h"
#include "plugins/session_config/session_config_plugin.h"

namespace session_config {
namespace {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;
using flutter::testing::TestDartSide;

TEST(SessionConfigFreshProcessTest, GetBeforeAnySetAnswersNull) {
  static bool ran = false;
  if (std::exchange(ran, true)) GTEST_SKIP() << "needs a process of its own";
  auto engine = FlutterEngine::create();
  TestDartSide dart{engine};
  SessionConfigPlugin::registerWithRegistrar(dart.registrar("SessionConfigPlugin"));

  auto before = dart.invokeMethod(kChannelName, "getConfiguration");
  ASSERT_TRUE(before.isSuccess()) << before.describe();
  EXPECT_EQ(before.value, Value());

  Value configuration(ValueMap{{"avAudioSessionMode", Value("spokenAudio")}});
  dart.invokeMethod(kChannelName, "setConfiguration", Value(ValueList{configuration}));
  EXPECT_EQ(dart.invokeMethod(kChannelName, "getConfiguration").value, configuration);
}

}  // namespace
}  // namespace session_config
