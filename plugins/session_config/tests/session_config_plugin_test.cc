// The audio-session store driven through its channel, with several engines in one process. The
// configuration lives for the process, so each test sets the one it reads.
#include "plugins/session_config/session_config_plugin.h"

#include <gtest/gtest.h>

#include "platform/flutter/testing/test_dart_side.h"

namespace session_config {
namespace {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;
using flutter::testing::DartAnswer;
using flutter::testing::TestDartSide;

// One engine with the plug-in registered.
struct Engine {
  Engine() { SessionConfigPlugin::registerWithRegistrar(dart.registrar("SessionConfigPlugin")); }

  std::vector<FlutterMethodCall> notifications() const { return dart.callsFromHost(kChannelName); }

  std::shared_ptr<FlutterEngine> engine = FlutterEngine::create();
  TestDartSide dart{engine};
};

Value configuration(const char* category) {
  return Value(ValueMap{{"avAudioSessionCategory", Value(category)},
                        {"avAudioSessionCategoryOptions", Value(int32_t{0x2})},
                        {"androidWillPauseWhenDucked", Value(true)}});
}

TEST(SessionConfigTest, UnknownNamesAreNotImplemented) {
  Engine one;
  EXPECT_TRUE(
      one.dart.invokeMethod(kChannelName, "setActive", Value(ValueList{})).isNotImplemented());
  EXPECT_TRUE(one.dart.invokeMethod(kChannelName, "getconfiguration").isNotImplemented());
}

TEST(SessionConfigTest, SettingNotifiesEveryInstanceInRegistrationOrderBeforeTheCallersReply) {
  Engine first;
  Engine second;
  Engine third;
  std::vector<std::string> heard;
  auto listen = [&](Engine& engine, std::string name) {
    engine.dart.setMethodCallHandler(kChannelName, [&heard, name](const FlutterMethodCall&) {
      heard.push_back(name);
      return DartAnswer(Value());
    });
  };
  listen(first, "first");
  listen(second, "second");
  listen(third, "third");

  auto call = FlutterStandardMethodCodec::sharedInstance()->encodeMethodCall(
      {"setConfiguration", Value(ValueList{configuration("playback")})});
  std::optional<FlutterEnvelope> reply;
  second.engine->deliverFromDartSide(kChannelName, call, [&](FlutterBinaryMessage answer) {
    heard.push_back("reply");
    reply = FlutterStandardMethodCodec::sharedInstance()->decodeEnvelope(*answer);
  });
  second.dart.runUntil([&] { return reply.has_value(); });

  EXPECT_EQ(heard, (std::vector<std::string>{"first", "second", "third", "reply"}));
  EXPECT_EQ(reply, FlutterEnvelope(Value()));
  for (Engine* engine : {&first, &second, &third}) {
    auto calls = engine->notifications();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].method, "onConfigurationChanged");
    EXPECT_EQ(calls[0].arguments, Value(ValueList{configuration("playback")}));
  }
}

TEST(SessionConfigTest, TheSameConfigurationSetTwiceNotifiesTwiceAndALaterEngineReadsIt) {
  Engine first;
  for (int time = 0; time < 2; ++time) {
    auto reply = first.dart.invokeMethod(kChannelName, "setConfiguration",
                                         Value(ValueList{configuration("record"), Value("extra")}));
    ASSERT_TRUE(reply.isSuccess()) << reply.describe();
    EXPECT_EQ(reply.value, Value());
  }
  EXPECT_EQ(first.notifications().size(), 2u);

  Engine later;
  auto read = later.dart.invokeMethod(kChannelName, "getConfiguration");
  ASSERT_TRUE(read.isSuccess());
  EXPECT_EQ(read.value, configuration("record"));
  EXPECT_TRUE(later.notifications().empty());
}

TEST(SessionConfigTest, SettingWithoutANonEmptyListIsAnErrorThatStoresAndTellsNothing) {
  Engine one;
  one.dart.invokeMethod(kChannelName, "setConfiguration",
                        Value(ValueList{configuration("ambient")}));
  for (const Value& arguments : {Value(), Value(ValueList{}), configuration("playback"),
                                 Value("playback"), Value(std::vector<int32_t>{1})}) {
    auto reply = one.dart.invokeMethod(kChannelName, "setConfiguration", arguments);
    ASSERT_TRUE(reply.isError()) << arguments.debugString();
    EXPECT_EQ(reply.error.code, kBadArgumentsCode);
  }
  EXPECT_EQ(one.notifications().size(), 1u);
  EXPECT_EQ(one.dart.invokeMethod(kChannelName, "getConfiguration").value,
            configuration("ambient"));
}

}  // namespace
}  // namespace session_config
