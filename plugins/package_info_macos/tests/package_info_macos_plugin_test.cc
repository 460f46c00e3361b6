// "getAll" through the channel against a temporary bundle and Documents folder.
#include "plugins/package_info_macos/package_info_macos_plugin.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <cmath>
#include <limits>

#include "platform/flutter/flutter.h"
#include "platform/flutter/testing/test_dart_side.h"
#include "platform/foundation/testing/foundation_controls.h"

namespace package_info_macos {
namespace {

using flutter::Value;
using flutter::ValueMap;
using flutter::testing::TestDartSide;
namespace fs = std::filesystem;

std::string plist(const std::string& entries) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" + entries +
         "</dict></plist>\n";
}

std::string entry(const std::string& key, const std::string& value) {
  return "<key>" + key + "</key><string>" + value + "</string>";
}

void setModificationTime(const fs::path& path, time_t seconds, long nanoseconds) {
  timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class PackageInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/package_info_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    bundle_ = folder_ / "Tavilo.app";
    fs::create_directories(bundle_ / "Contents/MacOS");
    foundation::testing::setMainBundlePath(bundle_.string());
    foundation::testing::setUserDirectoriesRoot((folder_ / "home").string());
    unsetenv("APP_SANDBOX_CONTAINER_ID");
    PackageInfoMacosPlugin::registerWithRegistrar(dart_.registrar("PackageInfoMacosPlugin"));
  }

  void TearDown() override {
    unsetenv("APP_SANDBOX_CONTAINER_ID");
    foundation::testing::setMainBundlePath(std::nullopt);
    foundation::testing::setUserDirectoriesRoot(std::nullopt);
    fs::remove_all(folder_);
  }

  // Info.plist is written first: writing it changes the bundle's modification date.
  void writeInfo(const std::string& entries, time_t bundleSeconds = 1, long bundleNanos = 500000000) {
    std::ofstream(bundle_ / "Contents/Info.plist") << plist(entries);
    setModificationTime(bundle_, bundleSeconds, bundleNanos);
  }

  ValueMap getAll() {
    auto reply = dart_.invokeMethod(kChannelName, "getAll");
    EXPECT_TRUE(reply.isSuccess()) << reply.describe();
    return reply.value.asMap() ? *reply.value.asMap() : ValueMap{};
  }

  fs::path folder_;
  fs::path bundle_;
  std::shared_ptr<FlutterEngine> engine_ = FlutterEngine::create();
  TestDartSide dart_{engine_};
};

TEST_F(PackageInfoTest, AnswersTheSevenKeysOutsideTheSandbox) {
  writeInfo(entry("CFBundleDisplayName", "Tavilo Desk") + entry("CFBundleName", "Tavilo") +
            entry("CFBundleIdentifier", "com.velmora.tavilo") +
            entry("CFBundleShortVersionString", "2.4.1") + entry("CFBundleVersion", "241"));
  fs::create_directories(folder_ / "home/Documents");
  EXPECT_EQ(Value(getAll()), Value(ValueMap{
                                 {"appName", "Tavilo Desk"},
                                 {"packageName", "com.velmora.tavilo"},
                                 {"version", "2.4.1"},
                                 {"buildNumber", "241"},
                                 {"installerStore", Value()},
                                 {"installTime", "1500"},
                                 {"updateTime", "1500"},
                             }));
  EXPECT_TRUE(dart_.invokeMethod(kChannelName, "getall").isNotImplemented());
}

TEST_F(PackageInfoTest, MissingValuesAreNull) {
  writeInfo(entry("CFBundleName", "Tavilo"));
  ValueMap info = getAll();
  EXPECT_EQ(info.size(), 7u);
  EXPECT_EQ(*info.find("appName"), Value("Tavilo"));
  for (const char* key : {"packageName", "version", "buildNumber", "installerStore"}) {
    EXPECT_TRUE(info.find(key)->isNull()) << key;
  }

  // The main bundle's information is read once per bundle, so the next one is another bundle.
  bundle_ = folder_ / "Bare.app";
  fs::create_directories(bundle_ / "Contents");
  foundation::testing::setMainBundlePath(bundle_.string());
  writeInfo("");
  EXPECT_TRUE(getAll().find("appName")->isNull());

  foundation::testing::setMainBundlePath((folder_ / "missing.app").string());
  info = getAll();
  EXPECT_EQ(info.size(), 7u);
  EXPECT_TRUE(info.find("updateTime")->isNull());
  EXPECT_TRUE(info.find("installTime")->isNull());
}

TEST_F(PackageInfoTest, SandboxedInstallTimeIsTheDocumentsCreation) {
  writeInfo(entry("CFBundleName", "Tavilo"));
  setenv("APP_SANDBOX_CONTAINER_ID", "com.velmora.tavilo", 1);
  EXPECT_TRUE(PackageInfoMacosPlugin::isRunningInSandbox());
  // Without a Documents folder there is no install date: the update time stands in.
  EXPECT_EQ(*getAll().find("installTime"), Value("1500"));

  double before = NSDate().timeIntervalSince1970() * 1000.0;
  fs::create_directories(folder_ / "home/Documents");
  double after = NSDate().timeIntervalSince1970() * 1000.0;
  ValueMap info = getAll();
  EXPECT_EQ(*info.find("updateTime"), Value("1500"));
  auto install = PackageInfoMacosPlugin::getInstallDate();
  if (!install) GTEST_SKIP() << "this file system records no creation dates";
  double installed = std::stod(*info.find("installTime")->asString());
  // File times come from a coarse clock: allow it a little slack.
  EXPECT_GE(installed, before - 100);
  EXPECT_LE(installed, after + 100);
}

TEST_F(PackageInfoTest, MillisecondsAreCutTowardZeroAndClamped) {
  auto millis = [](double seconds) {
    return PackageInfoMacosPlugin::getTimeMillisStringFromDate(
        NSDate::dateWithTimeIntervalSince1970(seconds));
  };
  EXPECT_EQ(millis(1.5), "1500");
  EXPECT_EQ(millis(0.0009), "0");
  EXPECT_EQ(millis(-0.0009), "0");
  EXPECT_EQ(millis(-1.5), "-1500");
  EXPECT_EQ(millis(1e300), "9223372036854775807");
  EXPECT_EQ(millis(-1e300), "-9223372036854775808");
  EXPECT_EQ(millis(std::numeric_limits<double>::infinity()), "9223372036854775807");
  EXPECT_EQ(millis(std::numeric_limits<double>::quiet_NaN()), std::nullopt);
  EXPECT_EQ(PackageInfoMacosPlugin::getTimeMillisStringFromDate(std::nullopt), std::nullopt);
}

}  // namespace
}  // namespace package_info_macos
