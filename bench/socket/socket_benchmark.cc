// A small method call from the Dart side: over the socket to the host in another process, against
// the same call through the in-process test peer, and against the floor of any round trip to
// another process: its bytes echoed by a process that does nothing else. The round-trip cases
// report their p50 and p99 in microseconds (the host's next to their goals), `vs_in_process`:
// how many times longer the host's mean takes, and, with host calls and echoes taken in turns
// call by call, the median of the rounds' ratios of CPU time the other side spent serving the
// calls (`vs_echo`: the host's I/O and main threads, the echo's one), so that neither the host's
// other threads nor waiting for a CPU on a busy machine count, and of wall time (`vs_echo_wall`);
// beside them what a call costs each side's serving threads (`host_cpu_us_per_call`,
// `echo_cpu_us_per_call`). Each side wakes one thread of its own per call. The round-trip case
// holds the caller, every thread of the host and the echo to one fixed CPU, so that both sides
// are woken the same way in every run (a wake-up of another CPU cost 4 to 50 us, as that CPU
// happened to be idle, halted or busy). The pipelined case sends every call before
// reading any reply and reports calls per second. The flood case sends calls as fast as the host
// takes them for 30 s while it reads every reply, and reports the host's memory and SIGTERM's
// time.
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "bench/interleaved_ratio.h"
#include "bench/socket/cpu_pinning.h"
#include "bench/socket/host_process.h"
#include "platform/flutter/flutter.h"
#include "platform/flutter/socket_dart_side.h"
#include "platform/flutter/socket_frame.h"
#include "platform/flutter/testing/test_dart_side.h"

namespace {

using flutter::SocketFrame;
using flutter::SocketFrameKind;
using libsystem::UniqueFd;
using Clock = std::chrono::steady_clock;

// The engine's own channel answers it in every build: an error for a view that does not exist.
constexpr const char* kChannel = "flutter/platform_views";
constexpr const char* kMethod = "dispose";
const flutter::Value kArguments{int32_t{42}};

constexpr double kRoundTripP50GoalMicroseconds = 25;
constexpr double kRoundTripP99GoalMicroseconds = 100;
constexpr int kPipelinedCalls = 100'000;
constexpr double kPipelinedGoalCallsPerSecond = 100'000;

FlutterBytes callMessage() {
  return FlutterStandardMethodCodec::sharedInstance()->encodeMethodCall({kMethod, kArguments});
}

FlutterBytes callFrame(uint32_t id, const FlutterBytes& message) {
  return *flutter::encodeSocketFrame(
      SocketFrame{SocketFrameKind::messageFromDartSide, id, kChannel, message});
}

bool isExpectedAnswer(const FlutterBinaryMessage& reply) {
  return reply && !reply->empty() && reply->front() == 1;
}

// The out-of-process Dart side's end: blocking writes and reads of whole frames.
class SocketCaller {
 public:
  explicit SocketCaller(const std::string& path) : socket_(::socket(AF_UNIX, SOCK_STREAM, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof(address.sun_path) - 1);
    if (::connect(socket_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address))) {
      throw std::runtime_error("cannot connect to " + path);
    }
  }

  void send(const FlutterBytes& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
      ssize_t written =
          ::send(socket_.get(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (written <= 0) throw std::runtime_error("sending failed");
      sent += static_cast<size_t>(written);
    }
  }

  SocketFrame receive() {
    while (true) {
      if (auto reply = decoder_.next()) return std::move(*reply);
      if (decoder_.hasFault()) throw std::runtime_error(decoder_.fault());
      ssize_t received = ::recv(socket_.get(), buffer_.data(), buffer_.size(), 0);
      if (received <= 0) throw std::runtime_error("the host closed the connection");
      decoder_.append(std::span<const uint8_t>(buffer_.data(), static_cast<size_t>(received)));
    }
  }

  FlutterBinaryMessage call(uint32_t id, const FlutterBytes& message) {
    send(callFrame(id, message));
    return receive().payload;
  }

 private:
  UniqueFd socket_;
  flutter::SocketFrameDecoder decoder_;
  std::vector<uint8_t> buffer_ = std::vector<uint8_t>(64 * 1024);
};

HostProcess& host() {
  static HostProcess process(DESKTOP_HOST_EXECUTABLE);
  return process;
}

// Nanoseconds per in-process round trip, the baseline the socket case is divided by.
double inProcessNanoseconds() {
  flutter::testing::TestDartSide dart_side(FlutterEngine::create());
  constexpr int kRounds = 2000;
  auto start = Clock::now();
  for (int i = 0; i < kRounds; ++i) {
    benchmark::DoNotOptimize(dart_side.invokeMethod(kChannel, kMethod, kArguments));
  }
  std::chrono::duration<double, std::nano> elapsed = Clock::now() - start;
  return elapsed.count() / kRounds;
}

double percentile(std::vector<double>& samples, double fraction) {
  if (samples.empty()) return 0;
  auto rank = static_cast<size_t>(fraction * static_cast<double>(samples.size() - 1));
  std::nth_element(samples.begin(), samples.begin() + static_cast<ptrdiff_t>(rank), samples.end());
  return samples[rank];
}

void reportPercentiles(benchmark::State& state, std::vector<double>& microseconds) {
  state.counters["p50_us"] = percentile(microseconds, 0.50);
  state.counters["p99_us"] = percentile(microseconds, 0.99);
}

// How long a process's serving threads have run and how many times they were put on a CPU, from
// /proc/<pid>/task/<tid>/schedstat (nanosecond run time, unlike the tick-counted stat). Its
// serving threads are its main thread and the transport's I/O thread, found by name rather than
// by how often they woke, which left out a thread that served some calls without waking for each.
struct ThreadRun {
  double seconds = 0;
  uint64_t slices = 0;
};
ThreadRun servingRun(pid_t pid) {
  ThreadRun run;
  std::error_code error;
  for (const auto& task :
       std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
    const bool main_thread = task.path().filename().string() == std::to_string(pid);
    std::string name;
    std::getline(std::ifstream(task.path() / "comm"), name);
    if (!main_thread && name != flutter::SocketDartSide::kIoThreadName) continue;
    std::ifstream schedstat(task.path() / "schedstat");
    uint64_t run_ns = 0, wait_ns = 0, slices = 0;
    if (schedstat >> run_ns >> wait_ns >> slices) {
      run.seconds += static_cast<double>(run_ns) * 1e-9;
      run.slices += slices;
    }
  }
  return run;
}

// Ratios of a path's calls to its baseline's: `cpu` of what the serving threads of each peer spent
// (servingRun), `wall` of how long the calls took. The two take turns call by call, so that each
// side's serving thread has slept as long as the other's before it is woken and both meet the
// machine alike (on a shared machine, how long a thread slept sets what waking it costs); each
// round of kCallsPerRound pairs gives one ratio and the median of kRatioRounds is answered.
constexpr int kRatioRounds = 151;
constexpr int kCallsPerRound = 200;
struct CallRatios {
  bench::InterleavedRatio cpu;
  bench::InterleavedRatio wall;
};
template <typename PathCall, typename BaselineCall>
CallRatios interleavedCalls(pid_t pathPeer, PathCall&& path, pid_t baselinePeer,
                            BaselineCall&& baseline) {
  std::vector<double> path_cpu, baseline_cpu, path_wall, baseline_wall;
  for (int round = 0; round < kRatioRounds; ++round) {
    const auto path_before = servingRun(pathPeer);
    const auto baseline_before = servingRun(baselinePeer);
    double path_seconds = 0, baseline_seconds = 0;
    auto timed = [](auto&& call) {
      const auto start = Clock::now();
      call();
      return std::chrono::duration<double>(Clock::now() - start).count();
    };
    for (int i = 0; i < kCallsPerRound; ++i) {
      // Which side goes first alternates, so that neither always follows the other.
      if ((i + round) % 2 == 0) {
        path_seconds += timed(path);
        baseline_seconds += timed(baseline);
      } else {
        baseline_seconds += timed(baseline);
        path_seconds += timed(path);
      }
    }
    path_cpu.push_back(servingRun(pathPeer).seconds - path_before.seconds);
    baseline_cpu.push_back(servingRun(baselinePeer).seconds - baseline_before.seconds);
    path_wall.push_back(path_seconds);
    baseline_wall.push_back(baseline_seconds);
  }
  auto replay = [](const std::vector<double>& paths, const std::vector<double>& baselines) {
    size_t next = 0;
    return bench::interleavedRatio(
        static_cast<int>(paths.size()), [&] { return paths[next]; },
        [&] { return baselines[next++]; });
  };
  return {replay(path_cpu, baseline_cpu), replay(path_wall, baseline_wall)};
}

// A child process that writes back every byte it reads, until its end of the pair closes.
class EchoProcess {
 public:
  EchoProcess() {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
      throw std::runtime_error("socketpair failed");
    }
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      ::close(pair[0]);
      char buffer[4096];
      ssize_t received;
      while ((received = ::read(pair[1], buffer, sizeof(buffer))) > 0) {
        if (::write(pair[1], buffer, static_cast<size_t>(received)) != received) break;
      }
      ::_exit(0);
    }
    ::close(pair[1]);
    socket_.reset(pair[0]);
  }
  ~EchoProcess() {
    socket_.reset();
    int status;
    ::waitpid(pid_, &status, 0);
  }

  pid_t pid() const { return pid_; }

  void roundTrip(const FlutterBytes& bytes, std::vector<uint8_t>& answer) {
    if (::write(socket_.get(), bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
      throw std::runtime_error("writing failed");
    }
    for (size_t received = 0; received < bytes.size();) {
      ssize_t got = ::read(socket_.get(), answer.data() + received, answer.size() - received);
      if (got <= 0) throw std::runtime_error("the echo process ended");
      received += static_cast<size_t>(got);
    }
  }

 private:
  pid_t pid_ = -1;
  UniqueFd socket_;
};

// The floor: one wake-up each way, no work between.
void BM_EchoProcessRoundTrip(benchmark::State& state) {
  EchoProcess echo;
  const auto frame = callFrame(1, callMessage());
  std::vector<uint8_t> answer(frame.size());
  for (int i = 0; i < 1000; ++i) echo.roundTrip(frame, answer);
  std::vector<double> microseconds;
  microseconds.reserve(1 << 20);
  for (auto _ : state) {
    auto sent = Clock::now();
    echo.roundTrip(frame, answer);
    microseconds.push_back(std::chrono::duration<double, std::micro>(Clock::now() - sent).count());
  }
  reportPercentiles(state, microseconds);
}

void BM_InProcessRoundTrip(benchmark::State& state) {
  flutter::testing::TestDartSide dart_side(FlutterEngine::create());
  for (auto _ : state) {
    auto reply = dart_side.invokeMethod(kChannel, kMethod, kArguments);
    if (!reply.isError()) state.SkipWithError("unexpected answer");
  }
}

void BM_SocketRoundTrip(benchmark::State& state) {
  // The caller, the host's threads and the echo all on one fixed CPU: every wake-up is the
  // same switch from the caller to the side it woke, never a wake-up of another CPU, which costs
  // what that CPU was doing (idle, asleep in the hypervisor, busy) and swung from run to run.
  const auto cpu = bench::lastAllowedCpu();
  if (!cpu) {
    state.SkipWithError("cannot tell which CPUs this process may use");
    return;
  }
  cpu_set_t everywhere;
  CPU_ZERO(&everywhere);
  sched_getaffinity(0, sizeof(everywhere), &everywhere);
  const cpu_set_t pinned = bench::singleCpu(*cpu);
  bench::ScopedThreadAffinity caller_cpu(pinned);
  if (!caller_cpu.held() || !bench::pinProcess(host().pid(), pinned)) {
    state.SkipWithError("cannot pin the caller or the host to a CPU");
    return;
  }
  struct Unpin {
    const cpu_set_t& cpus;
    ~Unpin() { bench::pinProcess(host().pid(), cpus); }
  } unpin_host{everywhere};
  SocketCaller caller(host().socketPath());
  const auto message = callMessage();
  // Warms the host's paths and the connection before anything is counted.
  for (uint32_t id = 1; id <= 1000; ++id) caller.call(id, message);
  uint32_t id = 1000;
  std::vector<double> microseconds;
  microseconds.reserve(1 << 20);
  auto start = Clock::now();
  for (auto _ : state) {
    auto sent = Clock::now();
    auto reply = caller.call(++id, message);
    microseconds.push_back(std::chrono::duration<double, std::micro>(Clock::now() - sent).count());
    if (!isExpectedAnswer(reply)) state.SkipWithError("unexpected answer");
  }
  std::chrono::duration<double, std::nano> elapsed = Clock::now() - start;
  reportPercentiles(state, microseconds);
  state.counters["p50_goal_us"] = kRoundTripP50GoalMicroseconds;
  state.counters["p99_goal_us"] = kRoundTripP99GoalMicroseconds;
  state.counters["vs_in_process"] =
      elapsed.count() / static_cast<double>(state.iterations()) / inProcessNanoseconds();
  EchoProcess echo;
  if (!bench::pinProcess(echo.pid(), pinned)) {
    state.SkipWithError("cannot pin the echo to a CPU");
    return;
  }
  const auto frame = callFrame(1, message);
  std::vector<uint8_t> answer(frame.size());
  const auto ratios = interleavedCalls(
      host().pid(), [&] { caller.call(++id, message); }, echo.pid(),
      [&] { echo.roundTrip(frame, answer); });
  state.counters["vs_echo"] = ratios.cpu.median;
  state.counters["vs_echo_wall"] = ratios.wall.median;
  // The fastest round of each side over the other's: a machine kept busy by other work only ever
  // slows a round, the host's (whose working set is the larger) more than the echo's.
  state.counters["vs_echo_min"] = ratios.cpu.minimumRatio;
  state.counters["vs_echo_wall_min"] = ratios.wall.minimumRatio;
  // What one call costs each side's serving threads, in the median round.
  state.counters["host_cpu_us_per_call"] = ratios.cpu.pathTime / kCallsPerRound * 1e6;
  state.counters["echo_cpu_us_per_call"] = ratios.cpu.baselineTime / kCallsPerRound * 1e6;
}

// Every call is written before its reply is awaited: a thread sends, this one reads.
void BM_SocketPipelined(benchmark::State& state) {
  SocketCaller caller(host().socketPath());
  const auto message = callMessage();
  FlutterBytes calls;
  for (uint32_t id = 1; id <= kPipelinedCalls; ++id) {
    auto frame = callFrame(id, message);
    calls.insert(calls.end(), frame.begin(), frame.end());
  }
  double seconds = 0;
  int64_t answered = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    std::thread sender([&] { caller.send(calls); });
    for (int i = 0; i < kPipelinedCalls; ++i) {
      if (!isExpectedAnswer(caller.receive().payload)) state.SkipWithError("unexpected answer");
    }
    sender.join();
    seconds += std::chrono::duration<double>(Clock::now() - start).count();
    answered += kPipelinedCalls;
  }
  state.counters["calls_per_s"] = static_cast<double>(answered) / seconds;
  state.counters["goal_calls_per_s"] = kPipelinedGoalCallsPerSecond;
}

// A /proc/<pid>/status field in bytes (VmRSS, VmHWM); 0 once the process has gone.
double statusMegabytes(pid_t pid, const std::string& field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0) return std::stod(line.substr(field.size() + 1)) / 1024;
  }
  return 0;
}

// A Dart side that sends one call as fast as the host takes it, from one thread, while another
// reads every reply: the host's peak memory over the run, its memory in the first 5 s and after,
// the calls answered per second, and how long SIGTERM takes to end it in the middle of the flood.
void BM_SocketFloodMemory(benchmark::State& state) {
  const auto duration = std::chrono::seconds(state.range(0));
  const auto settled = std::chrono::seconds(5);
  FlutterBytes block;
  const auto message =
      FlutterStandardMethodCodec::sharedInstance()->encodeMethodCall({"enabled", flutter::Value()});
  for (uint32_t id = 1; id <= 1000; ++id) {
    auto frame = *flutter::encodeSocketFrame(
        SocketFrame{SocketFrameKind::messageFromDartSide, id, "display_wake_macos", message});
    block.insert(block.end(), frame.begin(), frame.end());
  }
  for (auto _ : state) {
    HostProcess flooded(DESKTOP_HOST_EXECUTABLE);
    UniqueFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    flooded.socketPath().copy(address.sun_path, sizeof(address.sun_path) - 1);
    if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address))) {
      state.SkipWithError("cannot connect");
      return;
    }
    timeval slice{0, 100'000};
    ::setsockopt(socket.get(), SOL_SOCKET, SO_SNDTIMEO, &slice, sizeof(slice));
    ::setsockopt(socket.get(), SOL_SOCKET, SO_RCVTIMEO, &slice, sizeof(slice));
    std::atomic<bool> stopping{false};
    std::atomic<int64_t> answered{0};
    std::thread sender([&] {
      while (!stopping) {
        for (size_t sent = 0; sent < block.size() && !stopping;) {
          ssize_t written =
              ::send(socket.get(), block.data() + sent, block.size() - sent, MSG_NOSIGNAL);
          if (written > 0) {
            sent += static_cast<size_t>(written);
          } else if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            return;
          }
        }
      }
    });
    std::thread reader([&] {
      std::vector<uint8_t> buffer(1 << 20);
      size_t held = 0;
      while (!stopping) {
        ssize_t received = ::recv(socket.get(), buffer.data() + held, buffer.size() - held, 0);
        if (received == 0) return;
        if (received < 0) {
          if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
          return;
        }
        held += static_cast<size_t>(received);
        size_t offset = 0;
        while (held - offset >= 4) {
          uint32_t length;
          std::memcpy(&length, buffer.data() + offset, 4);
          if (held - offset < 4 + size_t{length}) break;
          offset += 4 + length;
          ++answered;
        }
        std::memmove(buffer.data(), buffer.data() + offset, held - offset);
        held -= offset;
      }
    });
    double first = 0;
    double after = 0;
    const auto start = Clock::now();
    while (Clock::now() - start < duration) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      double& slot = Clock::now() - start < settled ? first : after;
      slot = std::max(slot, statusMegabytes(flooded.pid(), "VmRSS"));
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const int64_t calls = answered.load();
    const double peak = statusMegabytes(flooded.pid(), "VmHWM");
    const auto asked = Clock::now();
    const int status = flooded.terminate();
    const double obeyed = std::chrono::duration<double, std::milli>(Clock::now() - asked).count();
    stopping = true;
    ::shutdown(socket.get(), SHUT_RDWR);
    sender.join();
    reader.join();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("unclean exit");
    state.counters["peak_rss_mb"] = peak;
    state.counters["rss_first_5s_mb"] = first;
    state.counters["rss_after_5s_mb"] = after;
    state.counters["calls_per_s"] = static_cast<double>(calls) / seconds;
    state.counters["sigterm_ms"] = obeyed;
  }
}

BENCHMARK(BM_EchoProcessRoundTrip)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_InProcessRoundTrip)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SocketRoundTrip)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SocketPipelined)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SocketFloodMemory)->Arg(30)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace
