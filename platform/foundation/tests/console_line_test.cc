// Lines for standard output and error under readers that stop reading, leave, or are replaced:
// a line never holds its writer past its wait, never ends the process, and lines dropped are
// counted in the next line written.
#include "platform/foundation/console_line_writer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <regex>
#include <string>

namespace foundation {
namespace {

using Clock = std::chrono::steady_clock;

// Each test's lines go to this descriptor number, which the test points where it likes.
constexpr int kConsoleFd = 97;
const std::string kLine(200, 'x');

// SIGPIPE is the host's to ignore; a test process ignores it while it runs.
class ScopedIgnoredSigpipe {
 public:
  ScopedIgnoredSigpipe() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &saved_);
  }
  ~ScopedIgnoredSigpipe() { sigaction(SIGPIPE, &saved_, nullptr); }

 private:
  struct sigaction saved_ {};
};

struct Channel {
  int read = -1;
  int write = -1;
};

class ConsoleLineTest : public ::testing::Test {
 protected:
  void TearDown() override {
    ::close(kConsoleFd);
    for (int fd : opened_) ::close(fd);
  }

  // A blocking pipe of the smallest size, its writing end at kConsoleFd, as a parent hands it.
  Channel pipeAtConsole() {
    int ends[2];
    EXPECT_EQ(::pipe2(ends, O_CLOEXEC), 0);
    ::fcntl(ends[1], F_SETPIPE_SZ, 4096);
    return atConsole(ends[0], ends[1]);
  }
  Channel socketAtConsole() {
    int ends[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    int small = 4096;
    ::setsockopt(ends[1], SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    return atConsole(ends[0], ends[1]);
  }
  Channel atConsole(int read, int write) {
    EXPECT_EQ(::dup2(write, kConsoleFd), kConsoleFd);
    ::close(write);
    opened_.push_back(read);
    return {read, kConsoleFd};
  }

  static std::string drain(int fd) {
    std::string text;
    const int flags = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    char buffer[65536];
    for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, got);
    ::fcntl(fd, F_SETFL, flags);
    return text;
  }

  // Writes lines into a reader that never reads: the first past what it holds waits its wait,
  // the rest not at all, and every one of them is counted.
  static void expectBoundedWhileNobodyReads(ConsoleLineWriter& writer) {
    const auto started = Clock::now();
    constexpr size_t kLines = 500;  // 100 KiB, far more than the reader holds
    for (size_t i = 0; i < kLines; ++i) writer.writeLine(kLine);
    const auto took = Clock::now() - started;
    // At rest about one wait; a line that blocked would never return.
    EXPECT_LT(took, std::chrono::seconds(5));
    EXPECT_GT(writer.droppedLines(), kLines / 2);
  }

  std::vector<int> opened_;
};

TEST_F(ConsoleLineTest, APipeNobodyReadsDropsLinesAndTheNextLineCountsThem) {
  auto pipe = pipeAtConsole();
  ConsoleLineWriter writer(pipe.write, "output line");
  expectBoundedWhileNobodyReads(writer);
  const size_t dropped = writer.droppedLines();
  std::string before = drain(pipe.read);
  // The descriptor the parent gave keeps its flags: only the writer's own description waits.
  EXPECT_EQ(::fcntl(pipe.write, F_GETFL) & O_NONBLOCK, 0);

  writer.writeLine("after");
  EXPECT_EQ(writer.droppedLines(), 0u);
  std::string after = drain(pipe.read);
  const std::regex counted("(\n)?DesktopHost\\[\\d+\\] \\(" + std::to_string(dropped) +
                           " output lines could not be written and were dropped\\)\nafter\n");
  EXPECT_TRUE(std::regex_match(after, counted)) << after;
  // Whole lines before the drops, a line cut short at most at their end.
  EXPECT_EQ(before.substr(0, kLine.size() + 1), kLine + "\n");
}

TEST_F(ConsoleLineTest, ASocketNobodyReadsDropsLinesTheSameWay) {
  ScopedIgnoredSigpipe sigpipe;
  auto socket = socketAtConsole();
  ConsoleLineWriter writer(socket.write, "log line");
  expectBoundedWhileNobodyReads(writer);
  const size_t dropped = writer.droppedLines();
  drain(socket.read);
  writer.writeLine("after");
  std::string after = drain(socket.read);
  EXPECT_NE(after.find("(" + std::to_string(dropped) +
                       " log lines could not be written and were dropped)\nafter\n"),
            std::string::npos)
      << after;
}

TEST_F(ConsoleLineTest, AReaderThatHasGoneNeitherEndsNorHoldsTheProcess) {
  ScopedIgnoredSigpipe sigpipe;
  for (bool socket : {false, true}) {
    SCOPED_TRACE(socket ? "socket" : "pipe");
    auto channel = socket ? socketAtConsole() : pipeAtConsole();
    ConsoleLineWriter writer(channel.write, "log line");
    writer.writeLine("read");
    ::close(channel.read);
    opened_.pop_back();
    const auto started = Clock::now();
    for (int i = 0; i < 100; ++i) writer.writeLine(kLine);
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(writer.droppedLines(), 100u);
  }
}

TEST_F(ConsoleLineTest, ADescriptorReplacedUnderTheWriterIsWrittenAsWhatItIsNow) {
  auto first = pipeAtConsole();
  ConsoleLineWriter writer(kConsoleFd, "output line");
  writer.writeLine("one");
  EXPECT_EQ(drain(first.read), "one\n");

  // A file now (as a test capturing the stream makes it), then a pipe again.
  char path[] = "/tmp/console_line_test_XXXXXX";
  const int file = ::mkstemp(path);
  ASSERT_GE(file, 0);
  ::unlink(path);
  ASSERT_EQ(::dup2(file, kConsoleFd), kConsoleFd);
  writer.writeLine("two");
  char read_back[8] = {};
  EXPECT_EQ(::pread(file, read_back, sizeof read_back, 0), 4);
  EXPECT_STREQ(read_back, "two\n");
  ::close(file);

  auto second = pipeAtConsole();
  writer.writeLine("three");
  EXPECT_EQ(drain(second.read), "three\n");
  EXPECT_EQ(drain(first.read), "");
}

TEST_F(ConsoleLineTest, AClosedDescriptorDropsLinesUntilItIsOpenAgain) {
  ::close(kConsoleFd);
  ConsoleLineWriter writer(kConsoleFd, "output line");
  writer.writeLine("lost");
  writer.writeLine("lost too");
  EXPECT_EQ(writer.droppedLines(), 2u);
  auto pipe = pipeAtConsole();
  writer.writeLine("found");
  std::string text = drain(pipe.read);
  EXPECT_NE(text.find("(2 output lines could not be written and were dropped)\nfound\n"),
            std::string::npos)
      << text;
}

}  // namespace
}  // namespace foundation
