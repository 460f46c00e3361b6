// The screen-geometry plug-in, driven through its channels while the displays change.
#include <gtest/gtest.h>

#include "platform/appkit/appkit.h"
#include "platform/appkit/testing/window_system_controls.h"
#include "platform/flutter/flutter.h"
#include "platform/flutter/testing/test_dart_side.h"
#include "platform/foundation/testing/foundation_controls.h"
#include "plugins/screen_geometry/screen_geometry_macos_plugin.h"

namespace screen_geometry {
namespace {

using appkit::testing::ScreenSpec;
using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;
using flutter::testing::TestDartSide;

const char* const kMethods = "dev.velmora.plugins/screen_geometry";
const char* const kEvents = "dev.velmora.plugins/screen_geometry_event";

// A primary display 1440 x 900 and a taller one to its right, bottoms aligned.
const ScreenSpec kPrimary{NSMakeRect(0, 0, 1440, 900),
                          NSMakeRect(0, 80, 1440, 795),
                          "Studio",
                          {{NSScreenNumber, uint32_t{69733378}}}};
const ScreenSpec kTaller{NSMakeRect(1440, 0, 1920, 1080),
                         NSMakeRect(1440, 0, 1920, 1055),
                         "Wide",
                         {{NSScreenNumber, uint32_t{2}}}};

class ScreenGeometryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    appkit::testing::resetWindowSystem();
    appkit::testing::setScreens({kPrimary});
    ScreenGeometryMacosPlugin::registerWithRegistrar(dart_.registrar("ScreenGeometryMacosPlugin"));
  }

  void TearDown() override {
    foundation::testing::setEmulatedOperatingSystemVersion({15, 0, 0});
    appkit::testing::resetWindowSystem();
  }

  Value answer(const std::string& method) {
    auto reply = dart_.invokeMethod(kMethods, method);
    EXPECT_TRUE(reply.isSuccess()) << method << ": " << reply.describe();
    return reply.value;
  }

  std::vector<Value> eventValues() {
    std::vector<Value> values;
    for (const auto& event : dart_.events(kEvents)) {
      if (event.isValue()) values.push_back(event.value());
    }
    return values;
  }

  std::shared_ptr<FlutterEngine> engine_ = FlutterEngine::create();
  TestDartSide dart_{engine_};
};

TEST_F(ScreenGeometryTest, OneScreenIsThePrimaryDisplay) {
  auto primary = answer("getPrimaryDisplay");
  EXPECT_EQ(primary, Value(ValueMap{
                         {"id", "69733378"},
                         {"name", "Studio"},
                         {"size", ValueMap{{"width", 1440.0}, {"height", 900.0}}},
                         {"visiblePosition", ValueMap{{"dx", 0.0}, {"dy", 25.0}}},
                         {"visibleSize", ValueMap{{"width", 1440.0}, {"height", 795.0}}},
                     }));
  EXPECT_EQ(answer("getAllDisplays"), Value(ValueMap{{"displays", ValueList{primary}}}));
  EXPECT_TRUE(dart_.invokeMethod(kMethods, "getprimarydisplay").isNotImplemented());
}

TEST_F(ScreenGeometryTest, PositionsFlipAgainstTheFirstScreenAndTheLowestTop) {
  appkit::testing::setScreens({kPrimary, kTaller});
  auto displays = *answer("getAllDisplays").find("displays")->asList();
  ASSERT_EQ(displays.size(), 2u);
  EXPECT_EQ(*displays[1].find("visiblePosition"), Value(ValueMap{{"dx", 1440.0}, {"dy", -155.0}}));

  appkit::testing::moveMouse(CGPointMake(2000, 300));
  EXPECT_EQ(answer("getCursorScreenPoint"), Value(ValueMap{{"dx", 2000.0}, {"dy", 600.0}}));
  // With the taller display first, the flip still uses the lower top edge.
  appkit::testing::setScreens({kTaller, kPrimary});
  EXPECT_EQ(answer("getCursorScreenPoint"), Value(ValueMap{{"dx", 2000.0}, {"dy", 600.0}}));
}

TEST_F(ScreenGeometryTest, MissingNumbersAndOldSystemsGiveZeroAndNoName) {
  ScreenSpec unnumbered = kTaller;
  unnumbered.deviceDescription.clear();
  ScreenSpec mistyped = kTaller;
  mistyped.deviceDescription[NSScreenNumber] = std::string("2");
  appkit::testing::setScreens({kPrimary, unnumbered, mistyped});
  auto displays = *answer("getAllDisplays").find("displays")->asList();
  EXPECT_EQ(*displays[1].find("id"), Value("0"));
  EXPECT_EQ(*displays[2].find("id"), Value("0"));

  foundation::testing::setEmulatedOperatingSystemVersion({10, 14, 6});
  EXPECT_EQ(*answer("getPrimaryDisplay").find("name"), Value(""));
}

TEST_F(ScreenGeometryTest, NoScreensAnswerAnEmptyListOrNoScreen) {
  appkit::testing::setScreens({});
  EXPECT_EQ(answer("getAllDisplays"), Value(ValueMap{{"displays", ValueList{}}}));
  EXPECT_EQ(dart_.invokeMethod(kMethods, "getPrimaryDisplay").error.code, "NO_SCREEN");
  EXPECT_EQ(dart_.invokeMethod(kMethods, "getCursorScreenPoint").error.code, "NO_SCREEN");
}

TEST_F(ScreenGeometryTest, OneEventPerChangeOfTheNumberOfScreens) {
  ASSERT_TRUE(dart_.listen(kEvents).isSuccess());
  appkit::testing::connectScreen(kTaller);
  // A change of arrangement alone is not reported.
  appkit::testing::setScreens({kTaller, kPrimary});
  appkit::testing::disconnectScreen(0);
  // Two displays at once still make one event.
  appkit::testing::setScreens({kPrimary, kTaller, kTaller});
  EXPECT_EQ(eventValues(), (std::vector<Value>{ValueMap{{"type", "display-added"}},
                                               ValueMap{{"type", "display-removed"}},
                                               ValueMap{{"type", "display-added"}}}));

  // Changes while nobody listens are counted, and not reported later.
  ASSERT_TRUE(dart_.cancel(kEvents).isSuccess());
  appkit::testing::disconnectScreen(2);
  ASSERT_TRUE(dart_.listen(kEvents).isSuccess());
  appkit::testing::setScreens({kPrimary, kTaller});
  EXPECT_EQ(eventValues().size(), 3u);
  appkit::testing::connectScreen(kTaller);
  EXPECT_EQ(eventValues().back(), Value(ValueMap{{"type", "display-added"}}));
}

TEST_F(ScreenGeometryTest, StopsObservingWhenTheEngineGoesAway) {
  ASSERT_TRUE(dart_.listen(kEvents).isSuccess());
  engine_->shutDown();
  appkit::testing::connectScreen(kTaller);
  EXPECT_TRUE(eventValues().empty());
}

}  // namespace
}  // namespace screen_geometry
