// Worker processes driven from the main thread, as their owners drive them: messages both ways,
// deadlines, memory, back-pressure, broken framing, and ends reported once.
#include "platform/worker/worker_process.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/dispatch/testing/main_queue_pump.h"

namespace {

using dispatch::testing::runUntil;
using worker::WorkerEnd;
using worker::WorkerEndReason;
using worker::WorkerOptions;
using worker::WorkerProcess;

constexpr auto kGenerous = std::chrono::seconds(20);

bool gone(pid_t pid) { return pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH; }

std::vector<uint8_t> bytes(const std::string& text) { return {text.begin(), text.end()}; }

class WorkerProcessTest : public ::testing::Test {
 protected:
  void start(WorkerOptions options = {}) {
    if (options.executable.empty()) options.executable = "worker_probe";
    process = WorkerProcess::start(
        std::move(options), dispatch_get_main_queue(),
        [this](std::vector<uint8_t> message) {
          received.emplace_back(message.begin(), message.end());
          return !holdReading;
        },
        [this](WorkerEnd end) {
          ends.push_back(end);
          receivedAtEnd = received.size();
        });
  }
  bool ended() {
    return runUntil([&] { return !ends.empty(); }, kGenerous);
  }

  std::unique_ptr<WorkerProcess> process;
  std::vector<std::string> received;
  std::vector<WorkerEnd> ends;
  size_t receivedAtEnd = 0;
  bool holdReading = false;
};

TEST_F(WorkerProcessTest, MessagesGoBothWaysInOrderAndTheEndComesOnceAfterThem) {
  WorkerOptions options;
  options.arguments = {"--role", "probe"};
  start(options);
  for (const char* text : {"echo:one", "echo:", "arguments", "echo:three", "exit:3"}) {
    ASSERT_TRUE(process->send(bytes(text)));
  }
  ASSERT_TRUE(ended());
  EXPECT_EQ(received, (std::vector<std::string>{"one", "", "--role probe", "three"}));
  ASSERT_EQ(ends.size(), 1u);
  EXPECT_EQ(ends[0].reason, WorkerEndReason::exited);
  EXPECT_EQ(ends[0].code, 3);
  EXPECT_EQ(receivedAtEnd, 4u);
  EXPECT_FALSE(process->send(bytes("echo:late")));
  dispatch::testing::drainUntilIdle();
  EXPECT_EQ(ends.size(), 1u);
}

TEST_F(WorkerProcessTest, AWorkerPastItsDeadlineIsKilledAndReaped) {
  start();
  ASSERT_TRUE(process->send(bytes("spin")));
  ASSERT_TRUE(process->send(bytes("echo:never")));
  process->setDeadline(std::chrono::steady_clock::now() + std::chrono::milliseconds(100));
  ASSERT_TRUE(ended());
  EXPECT_EQ(ends[0].reason, WorkerEndReason::deadlinePassed);
  EXPECT_TRUE(received.empty());
  // Killed, not left spinning: the process is gone, not just disowned.
  EXPECT_TRUE(gone(process->pid()));
}

TEST_F(WorkerProcessTest, AWorkerPastItsMemoryLimitEndsAndTheHostGoesOn) {
  WorkerOptions options;
  options.memoryLimitBytes = size_t{256} << 20;
  start(options);
  ASSERT_TRUE(process->send(bytes("allocate:4096")));
  ASSERT_TRUE(ended());
  EXPECT_TRUE(received.empty());
  EXPECT_FALSE(ends[0].reason == WorkerEndReason::exited && ends[0].code == 0);
}

TEST_F(WorkerProcessTest, AWorkerThatSendsFasterThanItsOwnerTakesWaitsInItsSend) {
  holdReading = true;
  start();
  ASSERT_TRUE(process->send(bytes("flood:65536")));
  ASSERT_TRUE(runUntil([&] { return received.size() == 1; }, kGenerous));
  process->setDeadline(std::chrono::steady_clock::now() + std::chrono::milliseconds(300));
  ASSERT_TRUE(ended());
  // While its owner held on, the flood got no further than the socket: one message was taken.
  EXPECT_EQ(ends[0].reason, WorkerEndReason::deadlinePassed);
  EXPECT_EQ(received.size(), 1u);
}

TEST_F(WorkerProcessTest, AMessageLongerThanAgreedEndsTheWorker) {
  WorkerOptions options;
  options.maxMessageBytes = 1024;
  start(options);
  EXPECT_FALSE(process->send(std::vector<uint8_t>(1025)));
  ASSERT_TRUE(process->send(bytes("oversize")));
  ASSERT_TRUE(ended());
  EXPECT_EQ(ends[0].reason, WorkerEndReason::brokeFraming);
  EXPECT_TRUE(gone(process->pid()));
}

TEST_F(WorkerProcessTest, AWorkerThatCannotStartEndsAtOnce) {
  WorkerOptions options;
  options.executable = "no_such_worker";
  start(options);
  ASSERT_TRUE(ended());
  EXPECT_EQ(ends[0].reason, WorkerEndReason::failedToStart);
  EXPECT_EQ(ends[0].code, ENOENT);
  EXPECT_FALSE(process->send(bytes("echo:x")));
}

TEST_F(WorkerProcessTest, DroppingTheOwnerKillsTheWorkerAndTellsNoOne) {
  start();
  ASSERT_TRUE(process->send(bytes("spin")));
  ASSERT_TRUE(runUntil([&] { return process->pid() > 0; }, kGenerous));
  pid_t pid = process->pid();
  process.reset();
  ASSERT_TRUE(runUntil([&] { return gone(pid); }, kGenerous));
  dispatch::testing::drainUntilIdle();
  EXPECT_TRUE(ends.empty());
}

}  // namespace
