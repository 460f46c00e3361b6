// sysctl over this machine's values, and its failure modes.
#include "platform/system/sysctl.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/foundation/testing/foundation_controls.h"
#include "platform/system/testing/sysctl_controls.h"

namespace {

std::vector<uint8_t> read(std::vector<int> mib, int* error = nullptr) {
  size_t size = 0;
  if (sysctl(mib.data(), mib.size(), nullptr, &size, nullptr, 0) != 0) {
    if (error) *error = errno;
    return {};
  }
  std::vector<uint8_t> bytes(size);
  EXPECT_EQ(sysctl(mib.data(), mib.size(), bytes.data(), &size, nullptr, 0), 0);
  return bytes;
}

class SysctlTest : public ::testing::Test {
 protected:
  void TearDown() override {
    libsystem::testing::resetSysctl();
    foundation::testing::setEmulatedOperatingSystemVersion({15, 0, 0});
  }
};

TEST_F(SysctlTest, MachineValuesHaveTheirTypes) {
  auto memsize = read({CTL_HW, HW_MEMSIZE});
  ASSERT_EQ(memsize.size(), 8u);
  uint64_t bytes = 0;
  std::memcpy(&bytes, memsize.data(), 8);
  EXPECT_GT(bytes, 0u);

  auto cpus = read({CTL_HW, HW_AVAILCPU});
  ASSERT_EQ(cpus.size(), 4u);
  int32_t count = 0;
  std::memcpy(&count, cpus.data(), 4);
  EXPECT_GT(count, 0);

  auto ostype = read({CTL_KERN, KERN_OSTYPE});
  ASSERT_FALSE(ostype.empty());
  EXPECT_EQ(ostype.back(), 0) << "strings keep their terminating NUL";
  EXPECT_FALSE(read({CTL_KERN, KERN_HOSTNAME}).empty());
}

TEST_F(SysctlTest, OsVersionFollowsTheEmulatedVersion) {
  foundation::testing::setEmulatedOperatingSystemVersion({26, 1, 2});
  auto bytes = read({CTL_KERN, KERN_OSVERSION});
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), std::string("26.1.2", 7));
}

TEST_F(SysctlTest, NamesMapToTheirMibs) {
  int mib[CTL_MAXNAME];
  size_t size = CTL_MAXNAME;
  ASSERT_EQ(sysctlnametomib("hw.memsize", mib, &size), 0);
  EXPECT_EQ(std::vector<int>(mib, mib + size), (std::vector<int>{CTL_HW, HW_MEMSIZE}));

  size = 1;
  EXPECT_EQ(sysctlnametomib("hw.memsize", mib, &size), -1);
  EXPECT_EQ(errno, ENOMEM);
  size = CTL_MAXNAME;
  EXPECT_EQ(sysctlnametomib("hw.nothing", mib, &size), -1);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(sysctlnametomib(nullptr, mib, &size), -1);
  EXPECT_EQ(errno, EINVAL);
}

TEST_F(SysctlTest, BadCallsFailWithTheirErrno) {
  int error = 0;
  read({CTL_HW, 999}, &error);
  EXPECT_EQ(error, ENOENT);
  read({CTL_HW}, &error);
  EXPECT_EQ(error, EINVAL);
  read(std::vector<int>(13, 1), &error);
  EXPECT_EQ(error, EINVAL);

  int mib[] = {CTL_HW, HW_MEMSIZE};
  uint64_t value = 0;
  size_t size = 4;
  EXPECT_EQ(sysctl(mib, 2, &value, &size, nullptr, 0), -1);
  EXPECT_EQ(errno, ENOMEM);
  size = 8;
  EXPECT_EQ(sysctl(mib, 2, nullptr, &size, &value, 8), -1);
  EXPECT_EQ(errno, EPERM);
}

TEST_F(SysctlTest, ControlsReplaceFailAndRemoveEntries) {
  libsystem::testing::setSysctlString("kern.ostype", "Darwin");
  auto bytes = read({CTL_KERN, KERN_OSTYPE});
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "Darwin");

  libsystem::testing::setSysctlError("hw.model", 9999);
  int error = 0;
  read({CTL_HW, HW_MODEL}, &error);
  EXPECT_EQ(error, 9999);

  libsystem::testing::removeSysctlEntry("hw.memsize");
  int mib[CTL_MAXNAME];
  size_t size = CTL_MAXNAME;
  EXPECT_EQ(sysctlnametomib("hw.memsize", mib, &size), -1);
  read({CTL_HW, HW_MEMSIZE}, &error);
  EXPECT_EQ(error, ENOENT);

  libsystem::testing::setSysctlValue("test.added", {1, 2, 3});
  size = CTL_MAXNAME;
  ASSERT_EQ(sysctlnametomib("test.added", mib, &size), 0);
  EXPECT_EQ(read(std::vector<int>(mib, mib + size)), (std::vector<uint8_t>{1, 2, 3}));

  libsystem::testing::resetSysctl();
  EXPECT_EQ(read({CTL_HW, HW_MEMSIZE}).size(), 8u);
}

}  // namespace
