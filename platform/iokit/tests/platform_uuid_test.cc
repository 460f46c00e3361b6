// The platform UUID: derived from the machine identity, stable, absent without a usable one.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "platform/iokit/io_kit_lib.h"
#include "platform/iokit/testing/platform_uuid_controls.h"

namespace {

class PlatformUuidTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/iokit-test-XXXXXX";
    directory_ = mkdtemp(pattern);
  }
  void TearDown() override {
    iokit::testing::setMachineIdPath(std::nullopt);
    std::filesystem::remove_all(directory_);
  }

  void useMachineId(const std::string& contents) {
    std::string path = directory_ + "/machine-id";
    std::ofstream(path) << contents;
    iokit::testing::setMachineIdPath(path);
  }

  static std::optional<std::string> readPlatformUUID() {
    io_service_t service = IOServiceGetMatchingService(kIOMasterPortDefault,
                                                       IOServiceMatching("IOPlatformExpertDevice"));
    if (service == IO_OBJECT_NULL) return std::nullopt;
    auto uuid = IORegistryEntryCreateCFProperty(service, kIOPlatformUUIDKey);
    IOObjectRelease(service);
    return uuid;
  }

  std::string directory_;
};

TEST_F(PlatformUuidTest, IsAStableUpperCaseUuidThatHidesTheMachineId) {
  const std::string machine_id = "0123456789abcdef0123456789abcdef";
  useMachineId(machine_id + "\n");
  auto uuid = readPlatformUUID();
  ASSERT_TRUE(uuid.has_value());
  EXPECT_TRUE(std::regex_match(
      *uuid, std::regex("[0-9A-F]{8}-[0-9A-F]{4}-8[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}")))
      << *uuid;
  EXPECT_EQ(readPlatformUUID(), uuid);
  std::string digits = *uuid;
  std::erase(digits, '-');
  EXPECT_NE(digits, "0123456789ABCDEF0123456789ABCDEF");

  useMachineId("fedcba9876543210fedcba9876543210");
  EXPECT_NE(readPlatformUUID(), uuid);
  EXPECT_EQ(iokit::testing::openObjectCount(), 0u);
}

TEST_F(PlatformUuidTest, IsAbsentForAMissingOrMalformedMachineId) {
  iokit::testing::setMachineIdPath(directory_ + "/none");
  EXPECT_EQ(readPlatformUUID(), std::nullopt);
  for (const char* contents :
       {"", "0123456789abcdef", "0123456789abcdef0123456789abcdeg",
        "0123456789abcdef0123456789abcdef0", " 0123456789abcdef0123456789abcdef"}) {
    useMachineId(contents);
    EXPECT_EQ(readPlatformUUID(), std::nullopt) << contents;
  }
}

TEST_F(PlatformUuidTest, OnlyThePlatformExpertMatchesAndReadsAreCounted) {
  useMachineId("0123456789abcdef0123456789abcdef");
  EXPECT_EQ(IOServiceGetMatchingService(kIOMasterPortDefault, IOServiceMatching("IOUSBDevice")),
            IO_OBJECT_NULL);
  EXPECT_EQ(IORegistryEntryCreateCFProperty(12345, kIOPlatformUUIDKey), std::nullopt);
  EXPECT_EQ(IOObjectRelease(12345), KERN_INVALID_ARGUMENT);
  iokit::testing::resetPlatformUUIDReadCount();
  readPlatformUUID();
  EXPECT_EQ(iokit::testing::platformUUIDReadCount(), 1);
}

}  // namespace
