// The sysctl readers against injected kernel values: every way a read can fail.
#include "plugins/device_info_macos/sysctl.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/system/sysctl.h"
#include "platform/system/testing/sysctl_controls.h"

namespace device_info_macos {
namespace {

using Kind = Sysctl::Error::Kind;
using libsystem::testing::setSysctlString;
using libsystem::testing::setSysctlValue;

template <typename T>
std::vector<uint8_t> bytesOf(T value) {
  std::vector<uint8_t> bytes(sizeof(T));
  std::memcpy(bytes.data(), &value, sizeof(T));
  return bytes;
}

class SysctlReadersTest : public ::testing::Test {
 protected:
  void TearDown() override { libsystem::testing::resetSysctl(); }
};

TEST_F(SysctlReadersTest, StringsRunToTheFirstNulOrTheEnd) {
  setSysctlString("kern.ostype", std::string("Darwin\0junk", 11));
  EXPECT_EQ(Sysctl::osType(), "Darwin");
  setSysctlString("kern.ostype", "NoTerminator");
  EXPECT_EQ(Sysctl::osType(), "NoTerminator");
  setSysctlValue("kern.ostype", {});
  auto empty = Sysctl::stringForKeys({CTL_KERN, KERN_OSTYPE});
  ASSERT_TRUE(empty.ok());
  EXPECT_EQ(empty.value(), "");
  setSysctlString("kern.ostype", "caf\xc3\xa9");
  EXPECT_EQ(Sysctl::stringForName("kern.ostype").value(), "caf\xc3\xa9");
}

TEST_F(SysctlReadersTest, InvalidUtf8IsMalformed) {
  for (std::string bad : {"\xff", "ab\xc3", "\xc0\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80"}) {
    setSysctlString("kern.osrelease", bad);
    auto read = Sysctl::stringForKeys({CTL_KERN, KERN_OSRELEASE});
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.error().kind, Kind::malformedUTF8);
    EXPECT_EQ(Sysctl::osRelease(), "");
  }
  // Bytes after the NUL are not looked at.
  setSysctlString("kern.osrelease", std::string("ok\0\xff", 4));
  EXPECT_EQ(Sysctl::osRelease(), "ok");
}

TEST_F(SysctlReadersTest, IntegersMustHaveTheirExactSize) {
  setSysctlValue("hw.activecpu", bytesOf(int32_t{6}));
  EXPECT_EQ(Sysctl::activeCPUs(), 6);
  setSysctlValue("hw.activecpu", bytesOf(int64_t{6}));
  EXPECT_EQ(Sysctl::int32ForKeys({CTL_HW, HW_AVAILCPU}).error().kind, Kind::invalidSize);
  EXPECT_EQ(Sysctl::activeCPUs(), 0);

  setSysctlValue("hw.memsize", bytesOf(uint64_t{17179869184}));
  EXPECT_EQ(Sysctl::memSize(), 17179869184u);
  setSysctlValue("hw.memsize", bytesOf(int32_t{1}));
  EXPECT_EQ(Sysctl::memSize(), 0u);
  setSysctlValue("kern.osrevision", {});
  EXPECT_EQ(Sysctl::int32ForKeys({CTL_KERN, KERN_OSREV}).error().kind, Kind::invalidSize);
}

TEST_F(SysctlReadersTest, FailedCallsCarryTheirErrno) {
  libsystem::testing::setSysctlError("kern.version", EACCES);
  auto denied = Sysctl::stringForKeys({CTL_KERN, KERN_VERSION});
  EXPECT_EQ(denied.error(), (Sysctl::Error{Kind::posixError, EACCES}));
  EXPECT_EQ(Sysctl::version(), "");

  libsystem::testing::setSysctlError("kern.version", 9999);
  EXPECT_EQ(Sysctl::stringForKeys({CTL_KERN, KERN_VERSION}).error().kind, Kind::unknown);

  EXPECT_EQ(Sysctl::dataForKeys({CTL_HW, 4242}).error(), (Sysctl::Error{Kind::posixError, ENOENT}));
  EXPECT_EQ(Sysctl::keysForName("hw.nothing").error(), (Sysctl::Error{Kind::posixError, ENOENT}));
}

TEST_F(SysctlReadersTest, NamesResolveToMibs) {
  EXPECT_EQ(Sysctl::keysForName("hw.memsize").value(), (Sysctl::Keys{CTL_HW, HW_MEMSIZE}));
  setSysctlValue("hw.cpufrequency", bytesOf(int64_t{3200000000}));
  EXPECT_EQ(Sysctl::cpuFreq(), 3200000000);
  EXPECT_EQ(Sysctl::valueForName<int32_t>("hw.cpufrequency").error().kind, Kind::invalidSize);
  libsystem::testing::removeSysctlEntry("hw.cpufrequency");
  EXPECT_EQ(Sysctl::valueForName<int64_t>("hw.cpufrequency").error(),
            (Sysctl::Error{Kind::posixError, ENOENT}));
  EXPECT_EQ(Sysctl::cpuFreq(), 0);
}

TEST_F(SysctlReadersTest, TheMachinesOwnValuesRead) {
  EXPECT_GT(Sysctl::memSize(), 0u);
  EXPECT_GT(Sysctl::activeCPUs(), 0);
  EXPECT_FALSE(Sysctl::osType().empty());
  EXPECT_FALSE(Sysctl::machine().empty());
  EXPECT_FALSE(Sysctl::osRelease().empty());
}

}  // namespace
}  // namespace device_info_macos
