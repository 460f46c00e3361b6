// Round-trip latency of a small method call from the Dart side: over the socket to the host in
// another process, against the same call through the in-process test peer. The socket case
// reports `vs_in_process`: how many times longer its round trip takes.
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <chrono>
#include <memory>
#include <stdexcept>

#include "bench/socket/host_process.h"
#include "platform/flutter/flutter.h"
#include "platform/flutter/socket_frame.h"
#include "platform/flutter/testing/test_dart_side.h"

namespace {

using flutter::SocketFrame;
using flutter::SocketFrameKind;
using flutter::UniqueFd;

// The engine's own channel answers it in every build: an error for a view that does not exist.
constexpr const char* kChannel = "flutter/platform_views";
constexpr const char* kMethod = "dispose";
const flutter::Value kArguments{int32_t{42}};

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

  FlutterBinaryMessage call(uint32_t id, const FlutterBytes& message) {
    auto frame = *flutter::encodeSocketFrame(
        SocketFrame{SocketFrameKind::messageFromDartSide, id, kChannel, message});
    if (::send(socket_.get(), frame.data(), frame.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(frame.size())) {
      throw std::runtime_error("sending failed");
    }
    while (true) {
      if (auto reply = decoder_.next()) return std::move(reply->payload);
      uint8_t buffer[4096];
      ssize_t received = ::recv(socket_.get(), buffer, sizeof(buffer), 0);
      if (received <= 0) throw std::runtime_error("the host closed the connection");
      decoder_.append(std::span<const uint8_t>(buffer, static_cast<size_t>(received)));
    }
  }

 private:
  UniqueFd socket_;
  flutter::SocketFrameDecoder decoder_;
};

HostProcess& host() {
  static HostProcess process(DESKTOP_HOST_EXECUTABLE);
  return process;
}

// Nanoseconds per in-process round trip, the baseline the socket case is divided by.
double inProcessNanoseconds() {
  flutter::testing::TestDartSide dart_side(FlutterEngine::create());
  constexpr int kRounds = 2000;
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kRounds; ++i) {
    benchmark::DoNotOptimize(dart_side.invokeMethod(kChannel, kMethod, kArguments));
  }
  std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
  return elapsed.count() / kRounds;
}

void BM_InProcessRoundTrip(benchmark::State& state) {
  flutter::testing::TestDartSide dart_side(FlutterEngine::create());
  for (auto _ : state) {
    auto reply = dart_side.invokeMethod(kChannel, kMethod, kArguments);
    if (!reply.isError()) state.SkipWithError("unexpected answer");
  }
}

void BM_SocketRoundTrip(benchmark::State& state) {
  SocketCaller caller(host().socketPath());
  const auto message =
      FlutterStandardMethodCodec::sharedInstance()->encodeMethodCall({kMethod, kArguments});
  uint32_t id = 0;
  auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    auto reply = caller.call(++id, message);
    if (!reply || reply->empty() || reply->front() != 1) state.SkipWithError("unexpected answer");
  }
  std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
  state.counters["vs_in_process"] =
      elapsed.count() / static_cast<double>(state.iterations()) / inProcessNanoseconds();
}

BENCHMARK(BM_InProcessRoundTrip)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SocketRoundTrip)->Unit(benchmark::kMicrosecond);

}  // namespace
