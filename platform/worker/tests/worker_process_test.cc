// Worker processes driven from the main thread, as their owners drive them: messages both ways,
// deadlines, memory, back-pressure, broken framing, shared buffers, and ends reported once.
#include "platform/worker/worker_process.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <future>
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

size_t openDescriptors() {
  size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++count;
  }
  return count;
}

// Mappings of workers' buffers still in this process.
size_t mappedBuffers() {
  std::ifstream maps("/proc/self/maps");
  size_t count = 0;
  for (std::string line; std::getline(maps, line);) {
    if (line.find("memfd:") != std::string::npos) ++count;
  }
  return count;
}

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
  // An owner that takes buffers of up to `maxBufferBytes`; it keeps a copy of each buffer's bytes
  // and lets the mapping go.
  void startTakingBuffers(size_t maxBufferBytes) {
    WorkerOptions options;
    options.executable = "worker_probe";
    options.maxBufferBytes = maxBufferBytes;
    process = WorkerProcess::start(
        std::move(options), dispatch_get_main_queue(),
        [this](worker::WorkerMessage message) {
          received.emplace_back(message.bytes.begin(), message.bytes.end());
          auto shared = message.buffer ? message.buffer->bytes() : std::span<const uint8_t>();
          buffers.emplace_back(shared.begin(), shared.end());
          return !holdReading;
        },
        [this](WorkerEnd end) { ends.push_back(end); });
  }
  bool ended() {
    return runUntil([&] { return !ends.empty(); }, kGenerous);
  }

  std::unique_ptr<WorkerProcess> process;
  std::vector<std::string> received;
  std::vector<WorkerEnd> ends;
  size_t receivedAtEnd = 0;
  bool holdReading = false;
  std::vector<std::vector<uint8_t>> buffers;
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

TEST_F(WorkerProcessTest, ACpuDeadlineCountsTheWorkersCpuTimeNotTheTimeItWaits) {
  start();
  ASSERT_TRUE(process->send(bytes("echo:started")));
  ASSERT_TRUE(runUntil([&] { return !received.empty(); }, kGenerous));
  process->setCpuDeadline(std::chrono::milliseconds(300));
  // Waiting costs the worker no CPU time: it answers after longer than its CPU allowance.
  auto waited_from = std::chrono::steady_clock::now();
  while (std::chrono::steady_clock::now() - waited_from < std::chrono::milliseconds(400)) {
    size_t before = received.size();
    ASSERT_TRUE(process->send(bytes("echo:here")));
    ASSERT_TRUE(runUntil([&] { return received.size() > before || !ends.empty(); }, kGenerous));
    ASSERT_TRUE(ends.empty());
  }
  ASSERT_TRUE(process->send(bytes("spin")));
  ASSERT_TRUE(ended());
  EXPECT_EQ(ends[0].reason, WorkerEndReason::deadlinePassed);
  EXPECT_TRUE(gone(process->pid()));
}

TEST_F(WorkerProcessTest, AWorkerPastItsMemoryLimitEndsAndTheHostGoesOn) {
#if defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "ThreadSanitizer's runtime keeps no resident-memory limit";
#endif
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

// Counts are taken once the hub's own descriptors exist.
class SharedBufferTest : public WorkerProcessTest {
 protected:
  void SetUp() override {
    start();
    ASSERT_TRUE(process->send(bytes("exit:0")));
    ASSERT_TRUE(ended());
    process.reset();
    ends.clear();
    descriptorsBefore = openDescriptors();
  }
  void expectNothingLeft() {
    dispatch::testing::drainUntilIdle();
    EXPECT_EQ(openDescriptors(), descriptorsBefore);
    EXPECT_EQ(mappedBuffers(), 0u);
  }

  size_t descriptorsBefore = 0;
};

TEST_F(SharedBufferTest, ABufferComesWithItsMessageAndNothingOfItStaysOpen) {
  startTakingBuffers(size_t{8} << 20);
  ASSERT_TRUE(process->send(bytes("buffer:5000000")));
  ASSERT_TRUE(process->send(bytes("echo:after")));
  ASSERT_TRUE(runUntil([&] { return received.size() == 2; }, kGenerous));
  EXPECT_EQ(received, (std::vector<std::string>{"buffer", "after"}));
  ASSERT_EQ(buffers[0].size(), 5000000u);
  bool intact = true;
  for (size_t i = 0; i < buffers[0].size(); ++i) intact = intact && buffers[0][i] == i % 251;
  EXPECT_TRUE(intact);
  EXPECT_TRUE(buffers[1].empty());
  ASSERT_TRUE(process->send(bytes("exit:0")));
  ASSERT_TRUE(ended());
  EXPECT_EQ(ends[0].reason, WorkerEndReason::exited);
  expectNothingLeft();
}

TEST_F(SharedBufferTest, ABufferHandedOverAgainShowsWhatTheWorkerWroteSince) {
  startTakingBuffers(1 << 20);
  // One at a time: a worker writes to a buffer again only once the host has read it.
  for (const char* command : {"buffer:4096", "refill:7", "buffer:8192", "refill:9"}) {
    const size_t before = buffers.size();
    ASSERT_TRUE(process->send(bytes(command)));
    ASSERT_TRUE(runUntil([&] { return buffers.size() == before + 1; }, kGenerous));
  }
  ASSERT_TRUE(process->send(bytes("exit:0")));
  ASSERT_TRUE(ended());
  auto pattern = [](size_t size) {
    std::vector<uint8_t> out(size);
    for (size_t i = 0; i < size; ++i) out[i] = static_cast<uint8_t>(i % 251);
    return out;
  };
  EXPECT_EQ(buffers[0], pattern(4096));
  EXPECT_EQ(buffers[1], std::vector<uint8_t>(4096, 7));
  EXPECT_EQ(buffers[2], pattern(8192));
  EXPECT_EQ(buffers[3], std::vector<uint8_t>(8192, 9));
  expectNothingLeft();
}

struct Hostile {
  const char* how;
  size_t maxBufferBytes;
};

class HostileBufferTest : public SharedBufferTest, public ::testing::WithParamInterface<Hostile> {};

TEST_P(HostileBufferTest, IsAnsweredAsABrokenWorkerAndNothingIsLeftOpen) {
  startTakingBuffers(GetParam().maxBufferBytes);
  ASSERT_TRUE(process->send(bytes(std::string("hostile:") + GetParam().how)));
  ASSERT_TRUE(ended());
  EXPECT_TRUE(received.empty());
  EXPECT_EQ(ends[0].reason, WorkerEndReason::brokeFraming);
  EXPECT_TRUE(gone(process->pid()));
  expectNothingLeft();
}

INSTANTIATE_TEST_SUITE_P(
    Descriptors, HostileBufferTest,
    ::testing::Values(Hostile{"wrongsize", 1 << 20}, Hostile{"unsealed", 1 << 20},
                      Hostile{"pipe", 1 << 20}, Hostile{"twodescriptors", 1 << 20},
                      Hostile{"plainmessage", 1 << 20},
                      // A buffer larger than the owner takes, and one to an owner that takes none.
                      Hostile{"wrongsize", 4096}, Hostile{"unsealed", 0}),
    [](const auto& info) {
      return std::string(info.param.how) + "_" + std::to_string(info.param.maxBufferBytes);
    });

TEST_F(SharedBufferTest, AWorkerKilledWhileSendingABufferLeavesNothingOpen) {
  startTakingBuffers(1 << 20);
  ASSERT_TRUE(process->send(bytes("hostile:midsend")));
  process->setDeadline(std::chrono::steady_clock::now() + std::chrono::milliseconds(300));
  ASSERT_TRUE(ended());
  EXPECT_EQ(ends[0].reason, WorkerEndReason::deadlinePassed);
  EXPECT_TRUE(received.empty());
  expectNothingLeft();
}

TEST_F(SharedBufferTest, ABufferWaitingForItsOwnerGoesWithTheOwner) {
  // The owner's queue is kept busy until the owner is gone, so the buffer waits on it, mapped.
  dispatch_queue_t queue = dispatch_queue_create("worker_test.owner", DISPATCH_QUEUE_SERIAL);
  std::promise<void> gate;
  dispatch_async(queue, [opened = gate.get_future().share()] { opened.wait_for(kGenerous); });
  WorkerOptions options;
  options.executable = "worker_probe";
  options.maxBufferBytes = 1 << 20;
  process = WorkerProcess::start(
      std::move(options), queue, [](worker::WorkerMessage) { return true; }, [](WorkerEnd) {});
  for (int i = 0; i < 2; ++i) ASSERT_TRUE(process->send(bytes("buffer:100000")));
  ASSERT_TRUE(runUntil([&] { return mappedBuffers() == 1; }, kGenerous));
  pid_t pid = process->pid();
  process.reset();
  gate.set_value();
  ASSERT_TRUE(runUntil([&] { return gone(pid); }, kGenerous));
  // The hub lets go of the socket once the worker is reaped; a descriptor in flight goes with it.
  ASSERT_TRUE(runUntil(
      [&] { return openDescriptors() == descriptorsBefore && mappedBuffers() == 0; }, kGenerous));
}

}  // namespace
