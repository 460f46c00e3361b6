// More workers than the descriptor limit lets live at once: those that cannot start say why, the
// others are served as ever, the thread that watches them does not spin, and nothing stays open.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/dispatch/testing/thread_start_controls.h"
#include "platform/foundation/testing/system_limits.h"
#include "platform/worker/worker_process.h"

namespace {

using dispatch::testing::runUntil;
using foundation::testing::DescriptorLimit;
using worker::WorkerEnd;
using worker::WorkerEndReason;
using worker::WorkerOptions;
using worker::WorkerProcess;

constexpr auto kGenerous = std::chrono::seconds(30);

// What the counts below answer while the process has no descriptor to read /proc with (its
// workers still going at the limit): not yet known, so a wait for a count goes on.
constexpr size_t kUnknown = std::numeric_limits<size_t>::max();

size_t openDescriptors() {
  std::error_code error;
  std::filesystem::directory_iterator listing("/proc/self/fd", error);
  if (error) return kUnknown;
  size_t count = 0;
  for (auto entry = listing; entry != std::filesystem::directory_iterator();
       entry.increment(error)) {
    if (error) return kUnknown;
    ++count;
  }
  return count - 1;  // the listing's own
}

// Children of this process, ended ones not yet reaped included.
size_t childProcesses() {
  std::error_code error;
  std::filesystem::directory_iterator tasks("/proc/self/task", error);
  if (error) return kUnknown;
  size_t count = 0;
  for (auto task = tasks; task != std::filesystem::directory_iterator(); task.increment(error)) {
    if (error) return kUnknown;
    std::ifstream children(task->path() / "children");
    if (!children) return kUnknown;
    for (std::string pid; children >> pid;) ++count;
  }
  return count;
}

double processCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Watched {
  std::unique_ptr<WorkerProcess> process;
  bool answered = false;
  std::optional<WorkerEnd> end;
};

std::unique_ptr<WorkerProcess> startEcho(Watched& watched) {
  WorkerOptions options;
  options.executable = "worker_probe";
  return WorkerProcess::start(
      options, dispatch_get_main_queue(),
      [&watched](std::vector<uint8_t>) {
        watched.answered = true;
        return true;
      },
      [&watched](WorkerEnd end) { watched.end = end; });
}

TEST(WorkerDescriptorLimitTest, MoreWorkersThanDescriptorsAllowAreEachAnsweredAndNothingSpins) {
  {
    // The hub's own descriptors exist before the count.
    Watched first;
    first.process = startEcho(first);
    ASSERT_TRUE(first.process->send({'e', 'c', 'h', 'o', ':', 'x'}));
    ASSERT_TRUE(runUntil([&] { return first.answered; }, kGenerous));
  }
  ASSERT_TRUE(runUntil([&] { return childProcesses() == 0; }, kGenerous));
  const size_t descriptors_before = openDescriptors();
  // Room for a few dozen workers (two descriptors each), and three times as many asked for: the
  // set watched is larger than the limit.
  DescriptorLimit limit(descriptors_before + 48);
  ASSERT_TRUE(limit.active());
  constexpr size_t kWorkers = 80;
  std::vector<Watched> workers(kWorkers);
  for (auto& watched : workers) {
    watched.process = startEcho(watched);
    watched.process->send({'e', 'c', 'h', 'o', ':', 'x'});
  }
  auto outcome = [](const Watched& watched) { return watched.answered || watched.end; };
  ASSERT_TRUE(
      runUntil([&] { return std::all_of(workers.begin(), workers.end(), outcome); }, kGenerous));
  size_t served = 0, refused = 0;
  for (const auto& watched : workers) {
    if (watched.answered) {
      ++served;
      EXPECT_FALSE(watched.end);
    } else {
      ++refused;
      EXPECT_EQ(watched.end->reason, WorkerEndReason::failedToStart);
      EXPECT_TRUE(watched.end->code == EMFILE || watched.end->code == ENFILE) << watched.end->code;
    }
  }
  EXPECT_GT(served, 10u);
  EXPECT_GT(refused, 10u);

  // Those serving still answer, and waiting on them costs no CPU time.
  const double cpu_before = processCpuSeconds();
  for (auto& watched : workers) {
    if (!watched.answered) continue;
    watched.answered = false;
    ASSERT_TRUE(watched.process->send({'e', 'c', 'h', 'o', ':', 'y'}));
  }
  ASSERT_TRUE(runUntil(
      [&] {
        return std::all_of(workers.begin(), workers.end(),
                           [](const Watched& watched) { return watched.answered || watched.end; });
      },
      kGenerous));
  runUntil([] { return false; }, std::chrono::milliseconds(500));
  EXPECT_LT(processCpuSeconds() - cpu_before, 0.3);

  workers.clear();
  ASSERT_TRUE(runUntil([&] { return childProcesses() == 0; }, kGenerous));
  ASSERT_TRUE(runUntil([&] { return openDescriptors() == descriptors_before; }, kGenerous))
      << openDescriptors() << " open, " << descriptors_before << " before";

  // A worker started once all are gone is served.
  Watched fresh;
  fresh.process = startEcho(fresh);
  ASSERT_TRUE(fresh.process->send({'e', 'c', 'h', 'o', ':', 'z'}));
  ASSERT_TRUE(runUntil([&] { return fresh.answered || fresh.end; }, kGenerous));
  EXPECT_TRUE(fresh.answered);
}

// A buffer the host cannot take in, for want of a descriptor, is the host's failure and not the
// worker's: the message arrives without it, saying why, and the worker is served on.
TEST(WorkerDescriptorLimitTest, ABufferThatFindsNoDescriptorArrivesAsMissingAndTheWorkerGoesOn) {
  std::vector<std::pair<std::string, worker::WorkerMessage>> received;
  std::optional<WorkerEnd> end;
  WorkerOptions options;
  options.executable = "worker_probe";
  options.maxBufferBytes = 1 << 20;
  auto process = WorkerProcess::start(
      options, dispatch_get_main_queue(),
      [&](worker::WorkerMessage message) {
        std::string text(message.bytes.begin(), message.bytes.end());
        received.emplace_back(std::move(text), std::move(message));
        return true;
      },
      [&](WorkerEnd ended) { end = ended; });
  auto ask = [&](const std::string& command) {
    const size_t before = received.size();
    EXPECT_TRUE(process->send(std::vector<uint8_t>(command.begin(), command.end())));
    return runUntil([&] { return received.size() > before || end; }, kGenerous);
  };
  ASSERT_TRUE(ask("buffer:4096"));
  ASSERT_TRUE(received.back().second.buffer);
  {
    foundation::testing::DescriptorsExhausted exhausted;
    ASSERT_TRUE(exhausted.active());
    ASSERT_TRUE(ask("buffer:8192"));
    ASSERT_FALSE(end) << static_cast<int>(end->reason);
    EXPECT_EQ(received.back().first, "buffer");
    EXPECT_FALSE(received.back().second.buffer);
    const int error = received.back().second.bufferError;
    EXPECT_TRUE(error == EMFILE || error == ENFILE) << error;
  }
  // Once descriptors are to be had again, the same worker hands its buffers over as before.
  for (const char* command : {"buffer:8192", "echo:after"}) ASSERT_TRUE(ask(command));
  ASSERT_FALSE(end);
  ASSERT_EQ(received.size(), 4u);
  ASSERT_TRUE(received[2].second.buffer);
  EXPECT_EQ(received[2].second.buffer->bytes().size(), 8192u);
  EXPECT_EQ(received[2].second.bufferError, 0);
  EXPECT_EQ(received[3].first, "after");
}

// Run in a process of its own, whose worker hub is not yet started: a hub whose thread cannot
// start refuses its workers as unable to start, saying why, and starts once threads are to be had.
TEST(WorkerThreadStartTest, AWorkerTheHubHasNoThreadForCannotStartAndTheNextStarts) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        // The hub's first start, and the one it tries again with its first worker.
        dispatch::testing::failThreadStarts(2);
        Watched refused;
        refused.process = startEcho(refused);
        refused.process->send({'e', 'c', 'h', 'o', ':', 'x'});
        runUntil([&] { return refused.answered || refused.end.has_value(); }, kGenerous);
        const bool said_why = refused.end && refused.end->reason == WorkerEndReason::failedToStart &&
                              refused.end->code == EAGAIN;
        Watched served;
        served.process = startEcho(served);
        served.process->send({'e', 'c', 'h', 'o', ':', 'x'});
        runUntil([&] { return served.answered || served.end.has_value(); }, kGenerous);
        std::_Exit(said_why && served.answered ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
