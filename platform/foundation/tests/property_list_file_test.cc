// Property-list files named by someone else: only regular files within the size limit are read,
// and nothing is written that could not be read back.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "platform/foundation/property_list.h"
#include "platform/foundation/testing/foundation_controls.h"

namespace {

namespace fs = std::filesystem;
using foundation::testing::FileSystemFault;

class PropertyListFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "plist-file-test-XXXXXX").string();
    folder = mkdtemp(pattern.data());
  }
  void TearDown() override { fs::remove_all(folder); }

  std::string folder;
};

TEST_F(PropertyListFileTest, AFifoNamedAsAPropertyListIsRefusedWithoutBlocking) {
  const std::string info = folder + "/Info.plist";
  ASSERT_EQ(::mkfifo(info.c_str(), 0600), 0);
  // Should the read block, the watchdog gives it an end of file, and the test fails.
  std::mutex mutex;
  std::condition_variable done_cv;
  bool done = false;
  bool had_to_unblock = false;
  std::thread watchdog([&] {
    std::unique_lock lock(mutex);
    if (done_cv.wait_for(lock, std::chrono::seconds(5), [&] { return done; })) return;
    had_to_unblock = true;
    ::close(::open(info.c_str(), O_RDWR | O_NONBLOCK));
  });
  auto contents = PropertyList::readFile(info);
  {
    std::lock_guard lock(mutex);
    done = true;
  }
  done_cv.notify_one();
  watchdog.join();
  EXPECT_FALSE(had_to_unblock);
  EXPECT_FALSE(contents.has_value());
}

TEST_F(PropertyListFileTest, OnlyRegularFilesWithinTheLimitAreRead) {
  const std::string small = folder + "/small.plist";
  ASSERT_TRUE(PropertyList(PropertyList::Dictionary{{"k", PropertyList("v")}})
                  .writeFile(small, PropertyList::Format::xml));
  EXPECT_EQ(*PropertyList::readFile(small)->find("k"), PropertyList("v"));
  EXPECT_FALSE(PropertyList::readFile(folder).has_value());
  EXPECT_FALSE(PropertyList::readFile(folder + "/absent.plist").has_value());

  // A sparse file costs no disk; reading it would cost its whole size in memory.
  const std::string huge = folder + "/huge.plist";
  int fd = ::open(huge.c_str(), O_CREAT | O_WRONLY, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(PropertyList::kMaximumFileBytes + 1)), 0);
  ::close(fd);
  EXPECT_FALSE(PropertyList::readFile(huge).has_value());

  // What could not be read back is not written, and the old file stays.
  const std::string too_big(PropertyList::kMaximumFileBytes, 'x');
  EXPECT_FALSE(PropertyList(PropertyList::Dictionary{{"k", PropertyList(too_big)}})
                   .writeFile(small, PropertyList::Format::binary));
  EXPECT_EQ(*PropertyList::readFile(small)->find("k"), PropertyList("v"));
  size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++entries;
  EXPECT_EQ(entries, 2u);
}

TEST_F(PropertyListFileTest, AWriteSucceedsOnlyOnceTheFileAndItsNameAreFlushed) {
  const std::string path = folder + "/domain.plist";
  const PropertyList old(PropertyList::Dictionary{{"k", PropertyList("old")}});
  ASSERT_TRUE(old.writeFile(path, PropertyList::Format::binary));
  const PropertyList next(PropertyList::Dictionary{{"k", PropertyList("new")}});
  // A directory that cannot be opened is found before anything changed.
  foundation::testing::injectFileSystemFault(FileSystemFault::kDirectoryOpen);
  EXPECT_FALSE(next.writeFile(path, PropertyList::Format::binary));
  EXPECT_FALSE(foundation::testing::takeFileSystemFault(FileSystemFault::kDirectoryOpen));
  EXPECT_EQ(PropertyList::readFile(path), old);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{"domain.plist"});
  // One that cannot be flushed after the rename leaves the new name not known to be durable.
  foundation::testing::injectFileSystemFault(FileSystemFault::kDirectorySync);
  EXPECT_FALSE(next.writeFile(path, PropertyList::Format::binary));
  EXPECT_FALSE(foundation::testing::takeFileSystemFault(FileSystemFault::kDirectorySync));
}

TEST_F(PropertyListFileTest, InterruptedAndShortWritesAreCarriedOn) {
  const std::string path = folder + "/domain.plist";
  const PropertyList value(PropertyList::Dictionary{{"k", PropertyList(std::string(100000, 'v'))}});
  for (FileSystemFault fault : {FileSystemFault::kInterruptedWrite, FileSystemFault::kShortWrite}) {
    foundation::testing::injectFileSystemFault(fault);
    EXPECT_TRUE(value.writeFile(path, PropertyList::Format::binary)) << static_cast<int>(fault);
    EXPECT_FALSE(foundation::testing::takeFileSystemFault(fault)) << "the writer never met it";
    EXPECT_EQ(PropertyList::readFile(path), value);
    ASSERT_TRUE(fs::remove(path));
  }
}

TEST(PropertyListParseTest, NestingBeyondTheDepthLimitIsRefused) {
  // Within the file limit, yet deep enough to exhaust the stack of a recursive reader.
  std::string xml = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
  const size_t depth = 1'000'000;
  for (size_t i = 0; i < depth; ++i) xml += "<array>";
  for (size_t i = 0; i < depth; ++i) xml += "</array>";
  xml += "</plist>";
  ASSERT_LE(xml.size(), PropertyList::kMaximumFileBytes);
  EXPECT_FALSE(PropertyList::parse(std::vector<uint8_t>(xml.begin(), xml.end())).has_value());

  // Shallow nesting and empty elements still parse.
  const std::string shallow =
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><array/><dict/><array>"
      "<string>&lt;array&gt;</string></array></array></plist>";
  auto parsed = PropertyList::parse(std::vector<uint8_t>(shallow.begin(), shallow.end()));
  ASSERT_TRUE(parsed.has_value());
  const auto& items = *parsed->getIf<PropertyList::Array>();
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ((*items[2].getIf<PropertyList::Array>())[0], PropertyList("<array>"));
}

TEST(PropertyListParseTest, AZeroByteInTextIsNotAPropertyList) {
  // XML cannot hold U+0000; the XML reader takes the byte into the string and then trips over it.
  for (const std::string& xml :
       {std::string("<?xml version=\"1.0\"?><plist><string>a\0b</string></plist>", 56),
        std::string("<?xml version=\"1.0\"?><plist><dict><key>a\0b</key><true/></dict></plist>",
                    70)}) {
    EXPECT_FALSE(PropertyList::parse(std::vector<uint8_t>(xml.begin(), xml.end())).has_value());
  }
}

}  // namespace
