#include "platform/foundation/regular_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace foundation {
namespace {

class RegularFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = std::filesystem::temp_directory_path() /
                 ("regular_file_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory_);
  }
  void TearDown() override { std::filesystem::remove_all(directory_); }

  std::string write(const std::string& name, const std::string& contents) {
    auto path = directory_ / name;
    std::ofstream(path, std::ios::binary) << contents;
    return path.string();
  }

  std::filesystem::path directory_;
};

TEST_F(RegularFileTest, ReadsARegularFileWithinItsLimit) {
  RegularFileError error{};
  auto bytes = readRegularFile(write("a", "hello"), 5, &error);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(std::string(bytes->begin(), bytes->end()), "hello");
  EXPECT_FALSE(readRegularFile(write("b", "hello!"), 5, &error));
  EXPECT_EQ(error, RegularFileError::kTooLarge);
}

TEST_F(RegularFileTest, RefusesEverythingThatIsNotARegularFileWithoutBlocking) {
  RegularFileError error{};
  auto fifo = (directory_ / "fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(readRegularFile(fifo, 1 << 20, &error));  // would block forever if opened plainly
  EXPECT_EQ(error, RegularFileError::kNotRegular);

  EXPECT_FALSE(readRegularFile(directory_.string(), 1 << 20, &error));
  EXPECT_EQ(error, RegularFileError::kNotRegular);
  EXPECT_FALSE(readRegularFile("/dev/zero", 1 << 20, &error));
  EXPECT_EQ(error, RegularFileError::kNotRegular);

  auto socket_path = (directory_ / "socket").string();
  int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  socket_path.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  EXPECT_FALSE(readRegularFile(socket_path, 1 << 20, &error));
  EXPECT_EQ(error, RegularFileError::kNotRegular);
  ::close(fd);

  EXPECT_FALSE(readRegularFile((directory_ / "missing").string(), 1 << 20, &error));
  EXPECT_EQ(error, RegularFileError::kNotFound);
  EXPECT_FALSE(readRegularFile(std::string("a\0b", 3), 1 << 20, &error));
  EXPECT_FALSE(readRegularFile("", 1 << 20, &error));
}

// A file that calls itself regular may still block its reader (/proc/kmsg waits for the kernel's
// next message): the descriptor stays non-blocking, so such a read fails at once instead.
TEST_F(RegularFileTest, ADescriptorStaysNonBlockingThroughItsReads) {
  auto file = RegularFile::open(write("a", "hello"), 5);
  ASSERT_TRUE(file);
  EXPECT_NE(::fcntl(file->fd(), F_GETFL) & O_NONBLOCK, 0);
  auto bytes = file->readAll();
  ASSERT_TRUE(bytes);
  EXPECT_EQ(bytes->size(), 5u);
}

// The kernel's files stat as regular files of size 0 and may hold endless content
// (/proc/self/pagemap): no more is read than the size said, and more than it said is refused.
TEST_F(RegularFileTest, NoMoreIsReadThanTheFileSaidItHeld) {
  RegularFileError error{};
  EXPECT_FALSE(readRegularFile("/proc/self/status", 1 << 20, &error));
  EXPECT_EQ(error, RegularFileError::kTooLarge);
  EXPECT_FALSE(readRegularFile("/proc/self/pagemap", 1 << 20, &error));

  auto file = RegularFile::open(write("grows", "hello"), 1 << 20);
  ASSERT_TRUE(file);
  std::ofstream(directory_ / "grows", std::ios::app) << " world";
  EXPECT_FALSE(file->readAll(&error)) << "read past the size it was opened with";
  EXPECT_EQ(error, RegularFileError::kTooLarge);

  auto empty = readRegularFile(write("empty", ""), 1 << 20, &error);
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->empty());
}

}  // namespace
}  // namespace foundation
