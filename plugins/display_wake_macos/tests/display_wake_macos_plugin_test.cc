// The display-wake plug-in through its channel, with the power manager's assertions in view.
#include <gtest/gtest.h>

#include "platform/flutter/flutter.h"
#include "platform/flutter/testing/test_dart_side.h"
#include "platform/iokit/testing/io_pm_controls.h"
#include "plugins/display_wake_macos/display_wake_macos_plugin.h"

namespace display_wake_macos {
namespace {

using flutter::Value;
using flutter::ValueMap;
using flutter::testing::MethodReply;
using flutter::testing::TestDartSide;

class DisplayWakeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    iokit::testing::resetPowerAssertions();
    DisplayWakeMacosPlugin::registerWithRegistrar(dart_.registrar("DisplayWakeMacosPlugin"));
  }
  void TearDown() override { iokit::testing::resetPowerAssertions(); }

  MethodReply toggle(Value arguments) {
    return dart_.invokeMethod(kChannelName, "toggle", std::move(arguments));
  }
  MethodReply toggle(bool enable) { return toggle(Value(ValueMap{{kEnableKey, enable}})); }
  Value enabled() { return dart_.invokeMethod(kChannelName, "enabled").value; }

  std::shared_ptr<FlutterEngine> engine_ = FlutterEngine::create();
  TestDartSide dart_{engine_};
};

TEST_F(DisplayWakeTest, HoldsOneAssertionUntilToggledOff) {
  EXPECT_EQ(enabled(), Value(false));
  EXPECT_EQ(toggle(true).value, Value(true));
  EXPECT_EQ(toggle(true).value, Value(true));
  auto held = iokit::testing::heldAssertions();
  ASSERT_EQ(held.size(), 1u);
  EXPECT_EQ(held[0].type, "NoDisplaySleepAssertion");
  EXPECT_EQ(held[0].level, 255u);
  EXPECT_EQ(held[0].name, "Disabling display sleep");
  EXPECT_EQ(enabled(), Value(true));

  EXPECT_EQ(toggle(false).value, Value(true));
  EXPECT_TRUE(iokit::testing::heldAssertions().empty());
  EXPECT_EQ(enabled(), Value(false));
}

TEST_F(DisplayWakeTest, ReleasesOnlyWhatItHolds) {
  // Someone else's assertion stays untouched by a toggle off while disabled.
  IOPMAssertionID other = 0;
  ASSERT_EQ(IOPMAssertionCreateWithName(kIOPMAssertionTypeNoIdleSleep, kIOPMAssertionLevelOn,
                                        "other", &other),
            kIOReturnSuccess);
  EXPECT_EQ(toggle(false).value, Value(true));
  EXPECT_EQ(iokit::testing::heldAssertions().size(), 1u);

  toggle(true);
  toggle(false);
  toggle(false);
  auto held = iokit::testing::heldAssertions();
  ASSERT_EQ(held.size(), 1u);
  EXPECT_EQ(held[0].id, other);
}

TEST_F(DisplayWakeTest, RefusedAssertionLeavesItDisabled) {
  iokit::testing::setAssertionCreationRefused(true);
  EXPECT_EQ(toggle(true).value, Value(true));
  EXPECT_EQ(enabled(), Value(false));
  EXPECT_TRUE(iokit::testing::heldAssertions().empty());

  iokit::testing::setAssertionCreationRefused(false);
  toggle(true);
  EXPECT_EQ(enabled(), Value(true));
}

TEST_F(DisplayWakeTest, BadArgumentsAnswerAnErrorAndChangeNothing) {
  for (Value arguments : {Value(), Value(true), Value(ValueMap{}),
                          Value(ValueMap{{kEnableKey, Value()}}),
                          Value(ValueMap{{kEnableKey, int32_t{1}}}),
                          Value(ValueMap{{"enabled", true}})}) {
    auto reply = toggle(arguments);
    ASSERT_TRUE(reply.isError()) << arguments.debugString();
    EXPECT_EQ(reply.error.code, "INVALID_ARGUMENTS");
  }
  EXPECT_EQ(enabled(), Value(false));
  EXPECT_TRUE(iokit::testing::heldAssertions().empty());
  EXPECT_TRUE(dart_.invokeMethod(kChannelName, "Toggle").isNotImplemented());
}

}  // namespace
}  // namespace display_wake_macos
