// The connectivity plug-in through its channels, on a simulated network.
#include "plugins/connectivity_macos/connectivity_macos_plugin.h"

#include <gtest/gtest.h>

#include "platform/flutter/flutter.h"
#include "platform/flutter/testing/test_dart_side.h"
#include "platform/foundation/testing/foundation_controls.h"
#include "platform/network/testing/network_controls.h"

namespace connectivity_macos {
namespace {

using flutter::Value;
using flutter::ValueList;
using flutter::testing::TestDartSide;
using network::testing::SimulatedNetwork;
using network::testing::setSimulatedNetwork;
using Type = NWInterfaceType;

Value names(std::initializer_list<const char*> list) {
  ValueList values;
  for (const char* name : list) values.emplace_back(name);
  return Value(values);
}

class ConnectivityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setSimulatedNetwork({true, {Type::wifi}});
    ConnectivityMacosPlugin::registerWithRegistrar(dart_.registrar("ConnectivityMacosPlugin"));
    // The monitor's first report, made before anyone listens, goes nowhere.
    dart_.drain();
  }

  void TearDown() override {
    foundation::testing::setEmulatedOperatingSystemVersion({15, 0, 0});
    network::testing::useLiveNetwork();
  }

  Value check() { return dart_.invokeMethod(kMethodChannelName, "check").value; }

  std::vector<Value> eventValues() {
    std::vector<Value> values;
    for (const auto& event : dart_.events(kEventChannelName)) {
      if (event.isValue()) values.push_back(event.value());
    }
    return values;
  }

  std::shared_ptr<FlutterEngine> engine_ = FlutterEngine::create();
  TestDartSide dart_{engine_};
};

TEST_F(ConnectivityTest, CheckNamesTheInterfacesInUse) {
  EXPECT_EQ(check(), names({"wifi"}));
  setSimulatedNetwork({false, {Type::wifi}});
  EXPECT_EQ(check(), names({"none"}));
  setSimulatedNetwork({true, {}});
  EXPECT_EQ(check(), names({"none"}));
  setSimulatedNetwork({true, {Type::loopback}});
  EXPECT_EQ(check(), names({"none"}));
  setSimulatedNetwork({true, {Type::wiredEthernet, Type::wifi}});
  EXPECT_EQ(check(), names({"wifi", "ethernet"}));
  setSimulatedNetwork({true, {Type::other, Type::wifi}});
  EXPECT_EQ(check(), names({"wifi", "other"}));
  setSimulatedNetwork({true, {Type::other, Type::cellular, Type::wiredEthernet, Type::wifi}});
  EXPECT_EQ(check(), names({"wifi", "mobile", "ethernet", "other"}));
  EXPECT_TRUE(dart_.invokeMethod(kMethodChannelName, "Check").isNotImplemented());
}

TEST_F(ConnectivityTest, SatelliteOnlyFrom26) {
  setSimulatedNetwork({true, {Type::wifi}, true});
  foundation::testing::setEmulatedOperatingSystemVersion({15, 7, 0});
  EXPECT_EQ(check(), names({"wifi"}));
  foundation::testing::setEmulatedOperatingSystemVersion({26, 0, 0});
  EXPECT_EQ(check(), names({"wifi", "satellite"}));
  setSimulatedNetwork({true, {}, true});
  EXPECT_EQ(check(), names({"satellite"}));
  setSimulatedNetwork({false, {Type::wifi}, true});
  EXPECT_EQ(check(), names({"none"}));
}

TEST_F(ConnectivityTest, ListenSendsTheStateThenEveryChangeUntilCancelled) {
  ASSERT_TRUE(dart_.listen(kEventChannelName).isSuccess());
  ASSERT_TRUE(dart_.waitForEvents(kEventChannelName, 1));
  EXPECT_EQ(eventValues()[0], names({"wifi"}));

  setSimulatedNetwork({true, {Type::wiredEthernet}});
  ASSERT_TRUE(dart_.waitForEvents(kEventChannelName, 2));
  EXPECT_EQ(eventValues()[1], names({"ethernet"}));
  setSimulatedNetwork({false, {}});
  ASSERT_TRUE(dart_.waitForEvents(kEventChannelName, 3));
  EXPECT_EQ(eventValues()[2], names({"none"}));

  ASSERT_TRUE(dart_.cancel(kEventChannelName).isSuccess());
  EXPECT_EQ(network::testing::startedMonitorCount(), 0u);
  setSimulatedNetwork({true, {Type::wifi}});
  dart_.drain();
  EXPECT_EQ(eventValues().size(), 3u);

  // A check after cancelling starts a fresh monitor; listening again sends the state again.
  EXPECT_EQ(check(), names({"wifi"}));
  EXPECT_EQ(network::testing::startedMonitorCount(), 1u);
  ASSERT_TRUE(dart_.listen(kEventChannelName).isSuccess());
  ASSERT_TRUE(dart_.waitForEvents(kEventChannelName, 4));
  // The new monitor's first report may arrive too; it tells the same state.
  dart_.drain();
  auto values = eventValues();
  EXPECT_LE(values.size(), 5u);
  for (size_t i = 3; i < values.size(); ++i) EXPECT_EQ(values[i], names({"wifi"}));
}

// A provider whose changes the test makes by hand.
class ManualProvider : public ConnectivityProvider {
 public:
  std::vector<ConnectivityType> currentConnectivityTypes() override {
    return {ConnectivityType::wifi};
  }
  UpdateHandler connectivityUpdateHandler() const override { return handler; }
  void setConnectivityUpdateHandler(UpdateHandler update) override { handler = std::move(update); }
  void start() override {}
  void stop() override {}
  UpdateHandler handler;
};

TEST_F(ConnectivityTest, AnEventPostedBeforeCancelSendsNothingAfterIt) {
  auto plugin = std::make_shared<ConnectivityMacosPlugin>(std::make_shared<ManualProvider>());
  const char* channel = "test/connectivity_events";
  FlutterEventChannel::eventChannelWithName(channel, dart_.registrar("Manual").messenger())
      ->setStreamHandler(plugin);
  ASSERT_TRUE(dart_.listen(channel).isSuccess());
  ASSERT_TRUE(dart_.waitForEvents(channel, 1));

  plugin->sendConnectivityEvent({ConnectivityType::other});
  plugin->onCancelWithArguments(Value());
  dart_.drain();
  EXPECT_EQ(dart_.events(channel).size(), 1u);
}

}  // namespace
}  // namespace connectivity_macos
