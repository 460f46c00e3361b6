// "getDeviceInfo" through the channel, with the kernel's values and the machine identity under
// the test's control.
#include "plugins/device_info_macos/device_info_macos_plugin.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "platform/flutter/flutter.h"
#include "platform/flutter/testing/test_dart_side.h"
#include "platform/foundation/testing/foundation_controls.h"
#include "platform/foundation/testing/host_controls.h"
#include "platform/iokit/testing/platform_uuid_controls.h"
#include "platform/system/testing/sysctl_controls.h"

namespace device_info_macos {
namespace {

using flutter::Value;
using flutter::ValueMap;
using flutter::testing::TestDartSide;
using libsystem::testing::setSysctlString;

class DeviceInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/device_info_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    std::ofstream(folder_ / "machine-id") << "0123456789abcdef0123456789abcdef\n";
    iokit::testing::setMachineIdPath((folder_ / "machine-id").string());
    DeviceInfoMacosPlugin::registerWithRegistrar(dart_.registrar("DeviceInfoMacosPlugin"));
  }

  void TearDown() override {
    libsystem::testing::resetSysctl();
    foundation::testing::resetLocalizedHostName();
    foundation::testing::setEmulatedOperatingSystemVersion({15, 0, 0});
    iokit::testing::setMachineIdPath(std::nullopt);
    std::filesystem::remove_all(folder_);
  }

  ValueMap deviceInfo() {
    auto reply = dart_.invokeMethod(kChannelName, "getDeviceInfo");
    EXPECT_TRUE(reply.isSuccess()) << reply.describe();
    return reply.value.asMap() ? *reply.value.asMap() : ValueMap{};
  }

  std::filesystem::path folder_;
  std::shared_ptr<FlutterEngine> engine_ = FlutterEngine::create();
  TestDartSide dart_{engine_};
};

TEST_F(DeviceInfoTest, AnswersAllFourteenEntriesWithTheirTypes) {
  foundation::testing::setLocalizedHostName("Studio Mac");
  setSysctlString("kern.ostype", std::string("Darwin", 7));
  setSysctlString("hw.machine", std::string("arm64", 6));
  setSysctlString("hw.model", std::string("Mac14,2", 8));
  setSysctlString("kern.version", std::string("Darwin Kernel Version 24.0.0", 29));
  libsystem::testing::setSysctlValue("hw.activecpu", {8, 0, 0, 0});
  libsystem::testing::setSysctlValue("hw.memsize", {0, 0, 0, 0, 4, 0, 0, 0});
  libsystem::testing::setSysctlValue("hw.cpufrequency", {0, 0x5e, 0xd0, 0xb2, 0, 0, 0, 0});
  foundation::testing::setEmulatedOperatingSystemVersion({14, 6, 1});

  ValueMap info = deviceInfo();
  EXPECT_EQ(info.size(), 14u);
  EXPECT_EQ(*info.find("computerName"), Value("Studio Mac"));
  EXPECT_EQ(*info.find("hostName"), Value("Darwin"));
  EXPECT_EQ(*info.find("arch"), Value("arm64"));
  EXPECT_EQ(*info.find("model"), Value("Mac14,2"));
  EXPECT_EQ(*info.find("modelName"), Value("MacBook Air (13-inch, 2022)"));
  EXPECT_EQ(*info.find("kernelVersion"), Value("Darwin Kernel Version 24.0.0"));
  EXPECT_EQ(*info.find("osRelease"), Value("Version 14.6.1"));
  EXPECT_EQ(*info.find("majorVersion"), Value(int64_t{14}));
  EXPECT_EQ(*info.find("minorVersion"), Value(int64_t{6}));
  EXPECT_EQ(*info.find("patchVersion"), Value(int64_t{1}));
  EXPECT_EQ(*info.find("activeCPUs"), Value(int32_t{8}));
  EXPECT_EQ(*info.find("memorySize"), Value(int64_t{17179869184}));
  EXPECT_EQ(*info.find("cpuFrequency"), Value(int64_t{3000000000}));
  const Value* uuid = info.find("systemGUID");
  ASSERT_NE(uuid, nullptr);
  ASSERT_NE(uuid->asString(), nullptr);
  EXPECT_EQ(uuid->asString()->size(), 36u);
  EXPECT_EQ(uuid->asString()->find("0123456789abcdef"), std::string::npos);
}

TEST_F(DeviceInfoTest, FailedReadsFallBackPerEntry) {
  foundation::testing::setLocalizedHostName(std::nullopt);
  setSysctlString("kern.hostname", std::string("kernel-host", 12));
  libsystem::testing::setSysctlError("hw.model", EIO);
  libsystem::testing::setSysctlError("kern.ostype", 9999);
  libsystem::testing::setSysctlValue("hw.activecpu", {8, 0, 0, 0, 0, 0, 0, 0});
  libsystem::testing::setSysctlValue("hw.memsize", {1, 0, 0, 0});
  libsystem::testing::removeSysctlEntry("hw.cpufrequency");
  iokit::testing::setMachineIdPath((folder_ / "missing").string());

  ValueMap info = deviceInfo();
  EXPECT_EQ(info.size(), 14u);
  EXPECT_EQ(*info.find("computerName"), Value("kernel-host"));
  EXPECT_EQ(*info.find("hostName"), Value(""));
  EXPECT_EQ(*info.find("model"), Value(""));
  EXPECT_EQ(*info.find("modelName"), Value("Unknown Model"));
  EXPECT_EQ(*info.find("activeCPUs"), Value(int32_t{0}));
  EXPECT_EQ(*info.find("memorySize"), Value(int64_t{0}));
  EXPECT_EQ(*info.find("cpuFrequency"), Value(int64_t{0}));
  ASSERT_NE(info.find("systemGUID"), nullptr);
  EXPECT_TRUE(info.find("systemGUID")->isNull()) << "null, not an empty string";

  libsystem::testing::setSysctlError("kern.hostname", EIO);
  EXPECT_EQ(*deviceInfo().find("computerName"), Value(""));
}

TEST_F(DeviceInfoTest, UnknownModelAndOtherMethods) {
  setSysctlString("hw.model", std::string("Mac99,1", 8));
  EXPECT_EQ(*deviceInfo().find("modelName"), Value("Unknown Model"));
  EXPECT_TRUE(dart_.invokeMethod(kChannelName, "getdeviceinfo").isNotImplemented());
}

TEST_F(DeviceInfoTest, PlatformUuidIsTheSameBeforeAndSince12) {
  foundation::testing::setEmulatedOperatingSystemVersion({11, 7, 0});
  Value before = *deviceInfo().find("systemGUID");
  foundation::testing::setEmulatedOperatingSystemVersion({12, 0, 0});
  Value since = *deviceInfo().find("systemGUID");
  ASSERT_TRUE(before.asString() != nullptr);
  EXPECT_EQ(before, since);
}

}  // namespace
}  // namespace device_info_macos
