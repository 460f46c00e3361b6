// The socket transport under more output than may wait for the Dart side: a Dart side that reads
// keeps its connection whatever arrives at once, and one that stops reading is closed after the
// stall time.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "platform/dispatch/dispatch.h"
#include "platform/dispatch/main_queue.h"
#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/flutter/flutter.h"
#include "platform/flutter/flutter_faults.h"
#include "platform/flutter/socket_dart_side.h"
#include "platform/flutter/testing/socket_controls.h"
#include "platform/flutter/tests/socket_test_support.h"
#include "platform/foundation/testing/foundation_controls.h"

namespace {

using flutter::SocketFrame;
using flutter::SocketFrameKind;
using flutter::Value;
using libsystem::UniqueFd;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

constexpr milliseconds kTimeout{60000};
constexpr size_t kKeptPayloadSize = 64 * 1024;

// A Dart side that reads on a thread of its own for as long as it lives, taking each frame as it
// comes. It keeps frame heads and small payloads (errors, echoes) only, so that hundreds of MiB
// pass through it without being held.
class ReadingClient {
 public:
  struct Frame {
    SocketFrameKind kind;
    uint32_t id;
    std::string channel;
    size_t payload_size;
    FlutterBytes payload;  // kept when at most kKeptPayloadSize
  };

  explicit ReadingClient(const std::string& path) : fd_(socket_testing::connectTo(path)) {
    thread_ = std::thread([this] { readUntilStopped(); });
  }
  ~ReadingClient() {
    stop_ = true;
    thread_.join();
  }

  // Calls sent in one write, so that the host reads them together.
  struct Call {
    uint32_t id;
    std::string channel;
    std::string method;
    Value arguments;
  };
  void call(const std::vector<Call>& calls) {
    FlutterBytes bytes;
    for (const auto& call : calls) {
      auto frame = *flutter::encodeSocketFrame(
          {SocketFrameKind::messageFromDartSide, call.id, call.channel,
           FlutterStandardMethodCodec::sharedInstance()->encodeMethodCall(
               {call.method, call.arguments})});
      bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    ASSERT_EQ(::send(fd_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
  }
  // Sends `bytes` whole, waiting for the socket as long as it takes (on a thread of the test).
  bool sendAll(const FlutterBytes& bytes) {
    for (size_t sent = 0; sent < bytes.size();) {
      ssize_t written = ::send(fd_.get(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (written <= 0) return false;
      sent += static_cast<size_t>(written);
    }
    return true;
  }
  // A reader may pause for a moment, as a busy Dart side does.
  void pause() { paused_ = true; }
  void resume() { paused_ = false; }

  // Pumps the main queue until `count` frames have arrived or the connection ended.
  bool waitForFrames(size_t count) {
    return dispatch::testing::runUntil(
               [&] {
                 std::lock_guard lock(mutex_);
                 return frames_.size() >= count || ended_;
               },
               kTimeout) &&
           frames().size() >= count;
  }
  std::vector<Frame> frames() const {
    std::lock_guard lock(mutex_);
    return frames_;
  }
  bool ended() const {
    std::lock_guard lock(mutex_);
    return ended_;
  }

 private:
  void readUntilStopped() {
    std::vector<uint8_t> chunk(256 * 1024);
    while (!stop_) {
      pollfd watched{fd_.get(), static_cast<short>(paused_ ? 0 : POLLIN), 0};
      if (::poll(&watched, 1, 50) <= 0) continue;
      ssize_t received = ::recv(fd_.get(), chunk.data(), chunk.size(), 0);
      if (received <= 0) {
        std::lock_guard lock(mutex_);
        ended_ = true;
        return;
      }
      for (ssize_t i = 0; i < received;) i += take(&chunk[i], static_cast<size_t>(received - i));
    }
  }

  // Takes bytes of the stream; answers how many it used.
  size_t take(const uint8_t* bytes, size_t size) {
    if (payload_left_ > 0) {
      const size_t used = std::min(size, payload_left_);
      if (current_.payload_size <= kKeptPayloadSize) {
        current_.payload.insert(current_.payload.end(), bytes, bytes + used);
      }
      payload_left_ -= used;
      if (payload_left_ == 0) finish();
      return used;
    }
    head_.push_back(bytes[0]);
    constexpr size_t kNameAt = 4 + 1 + 4 + 2;
    if (head_.size() < kNameAt) return 1;
    const size_t name_size = head_[9] | (head_[10] << 8);
    if (head_.size() < kNameAt + name_size + 1) return 1;
    const uint32_t length =
        head_[0] | (head_[1] << 8) | (head_[2] << 16) | (uint32_t{head_[3]} << 24);
    current_ =
        Frame{static_cast<SocketFrameKind>(head_[4]),
              uint32_t{head_[5]} | (head_[6] << 8) | (head_[7] << 16) | (uint32_t{head_[8]} << 24),
              std::string(head_.begin() + kNameAt, head_.begin() + kNameAt + name_size),
              length - (kNameAt - 4) - name_size - 1,
              {}};
    head_.clear();
    payload_left_ = current_.payload_size;
    if (payload_left_ == 0) finish();
    return 1;
  }
  void finish() {
    std::lock_guard lock(mutex_);
    frames_.push_back(std::move(current_));
  }

  UniqueFd fd_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> paused_{false};
  FlutterBytes head_;
  Frame current_{};
  size_t payload_left_ = 0;
  mutable std::mutex mutex_;
  std::vector<Frame> frames_;
  bool ended_ = false;
  std::thread thread_;
};

class SocketBacklogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    foundation::testing::setLogCapture(true);
    // Short enough for the tests to see a stall, long enough that a reader is never taken for
    // one on a loaded machine.
    flutter::testing::setSocketStallTime(milliseconds(2000));
    ASSERT_TRUE(engine_->serveDartSideOnSocket(path_));
    // Answers raw bytes of the size asked for, at once or from a worker thread.
    engine_->binaryMessenger()->setMessageHandlerOnChannel(
        kBytes, [](FlutterBinaryMessage message, FlutterBinaryReply reply) {
          auto call = FlutterStandardMethodCodec::sharedInstance()->decodeMethodCall(*message);
          auto size = static_cast<size_t>(call.arguments.intValue());
          reply(FlutterBytes(size, 0x5A));
        });
    FlutterMethodChannel(kValues, engine_->binaryMessenger())
        .setMethodCallHandler([](const FlutterMethodCall& call, FlutterResult result) {
          if (call.method == "echo") {
            result(call.arguments);
            return;
          }
          // A large value, answered from a worker thread.
          auto size = static_cast<size_t>(call.arguments.intValue());
          dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
                         [size, result] { result(Value(std::vector<uint8_t>(size, 0x33))); });
        });
  }
  void TearDown() override {
    engine_->shutDown();
    dispatch::testing::drainUntilIdle();
    EXPECT_TRUE(flutter::takeFaults().empty());
    flutter::testing::setSocketStallTime(flutter::kDefaultSocketStallTime);
    foundation::testing::setLogCapture(false);
  }

  // A Dart side whose connection is served: one round trip has been made through it.
  UniqueFd servedClient() {
    UniqueFd client = socket_testing::connectTo(path_);
    if (!client) return client;
    auto call = *flutter::encodeSocketFrame(
        {SocketFrameKind::messageFromDartSide, 1, kValues,
         FlutterStandardMethodCodec::sharedInstance()->encodeMethodCall({"echo", Value()})});
    if (::send(client.get(), call.data(), call.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(call.size())) {
      return UniqueFd();
    }
    std::vector<uint8_t> reply(4096);
    if (!dispatch::testing::runUntil(
            [&] { return ::recv(client.get(), reply.data(), reply.size(), MSG_DONTWAIT) > 0; },
            kTimeout)) {
      return UniqueFd();
    }
    return client;
  }

  std::vector<std::string> logLinesContaining(const std::string& text) {
    std::vector<std::string> found;
    for (auto& line : foundation::testing::takeLogLines()) {
      if (line.find(text) != std::string::npos) found.push_back(std::move(line));
    }
    return found;
  }

  static constexpr const char* kBytes = "test/bytes";
  static constexpr const char* kValues = "test/values";
  static constexpr size_t kLarge = 63u << 20;
  socket_testing::TemporaryDirectory directory_;
  std::string path_ = directory_.file("dart-side.sock");
  std::shared_ptr<FlutterEngine> engine_ = FlutterEngine::create();
};

TEST_F(SocketBacklogTest, ADartSideThatReadsGetsEveryAnswerWhenRepliesPassTheBoundTogether) {
  ReadingClient client(path_);
  // Eight large answers at once, 504 MiB in all, with small calls among them.
  std::vector<ReadingClient::Call> calls;
  for (uint32_t id = 1; id <= 16; id += 2) {
    calls.push_back({id, kBytes, "bytes", Value(static_cast<int64_t>(kLarge))});
    calls.push_back({id + 1, kValues, "echo", Value("small")});
  }
  client.call(calls);
  ASSERT_TRUE(client.waitForFrames(calls.size())) << "the connection was closed";
  size_t whole = 0;
  size_t refused = 0;
  std::vector<uint32_t> answered;
  for (const auto& frame : client.frames()) {
    ASSERT_EQ(frame.kind, SocketFrameKind::replyFromHost);
    answered.push_back(frame.id);
    if (frame.id % 2 == 0) {
      EXPECT_EQ(std::get<Value>(
                    FlutterStandardMethodCodec::sharedInstance()->decodeEnvelope(frame.payload)),
                Value("small"))
          << "small answers are never refused";
    } else if (frame.payload_size == kLarge) {
      ++whole;
    } else {
      auto error = std::get<FlutterError>(
          FlutterStandardMethodCodec::sharedInstance()->decodeEnvelope(frame.payload));
      EXPECT_EQ(error.code, flutter::kSocketTransportBusyCode);
      ++refused;
    }
  }
  std::sort(answered.begin(), answered.end());
  EXPECT_EQ(answered.size(), calls.size());
  EXPECT_EQ(std::unique(answered.begin(), answered.end()), answered.end()) << "answered once";
  EXPECT_GE(whole, 2u) << "as much as the bound holds goes out";
  EXPECT_EQ(whole + refused, 8u);
  EXPECT_FALSE(client.ended());
  // The connection serves on.
  client.call({{100, kValues, "echo", Value("after")}});
  ASSERT_TRUE(client.waitForFrames(calls.size() + 1));
  EXPECT_EQ(client.frames().back().id, 100u);
  EXPECT_TRUE(logLinesContaining("Closed the Dart side's connection").empty());
}

TEST_F(SocketBacklogTest, HostMessagesPastTheBoundAreDroppedAloneAndCountedOnce) {
  ReadingClient client(path_);
  client.call({{1, kValues, "echo", Value()}});
  ASSERT_TRUE(client.waitForFrames(1));
  auto messenger = engine_->binaryMessenger();
  constexpr size_t kMessage = 48u << 20;
  std::vector<FlutterBytes> payloads(4, FlutterBytes(kMessage));
  auto call_reply = std::make_shared<std::optional<FlutterBinaryMessage>>();
  // Sent while the reader pauses: two fit in the bound, the third event and the call find it
  // reached.
  client.pause();
  for (int i = 0; i < 3; ++i) messenger->sendOnChannel("test/events", std::move(payloads[i]));
  messenger->sendOnChannel("test/calls", std::move(payloads[3]),
                           [call_reply](FlutterBinaryMessage reply) { *call_reply = reply; });
  client.resume();
  ASSERT_TRUE(dispatch::testing::runUntil([&] { return call_reply->has_value(); }, kTimeout));
  EXPECT_FALSE(call_reply->value().has_value()) << "a dropped call gets no reply";
  // What fitted arrives, then a small event sent after the burst.
  messenger->sendOnChannel("test/events", FlutterBytes{1, 2, 3});
  ASSERT_TRUE(dispatch::testing::runUntil(
      [&] {
        auto frames = client.frames();
        return client.ended() || (!frames.empty() && frames.back().payload_size == 3);
      },
      kTimeout));
  ASSERT_FALSE(client.ended()) << "the connection was closed";
  size_t events = 0;
  for (const auto& frame : client.frames()) events += frame.payload_size == kMessage;
  EXPECT_EQ(events, 2u);
  // The count is logged once nothing waits, which the I/O thread may see after the reader does.
  std::vector<std::string> logged, dropped;
  auto containing = [&](const std::string& text) {
    for (auto& line : foundation::testing::takeLogLines()) logged.push_back(std::move(line));
    std::vector<std::string> found;
    for (const auto& line : logged) {
      if (line.find(text) != std::string::npos) found.push_back(line);
    }
    return found;
  };
  dispatch::testing::runUntil(
      [&] { return !(dropped = containing("messages from the host")).empty(); }, kTimeout);
  ASSERT_EQ(dropped.size(), 1u) << "one line for the burst";
  EXPECT_NE(dropped[0].find("2 messages from the host were dropped"), std::string::npos)
      << dropped[0];
  EXPECT_TRUE(containing("Closed the Dart side's connection").empty());
}

TEST_F(SocketBacklogTest, ADartSideThatStopsReadingIsClosedAfterTheStallTime) {
  flutter::testing::setSocketStallTime(milliseconds(300));
  // Served; then the client reads no more.
  UniqueFd client = servedClient();
  ASSERT_TRUE(client);
  std::vector<uint8_t> chunk(1 << 20);
  // Far less than the bound, but more than the socket holds: some of it waits, untaken.
  const auto sent = Clock::now();
  engine_->binaryMessenger()->sendOnChannel("test/events", FlutterBytes(8 << 20));
  ASSERT_TRUE(dispatch::testing::runUntil(
      [&] { return !logLinesContaining("the Dart side is not reading").empty(); }, kTimeout));
  EXPECT_GE(Clock::now() - sent, milliseconds(300));
  // The host closes its end: the socket reads to its end.
  EXPECT_TRUE(dispatch::testing::runUntil(
      [&] { return ::recv(client.get(), chunk.data(), chunk.size(), MSG_DONTWAIT) == 0; },
      kTimeout));
}

// The kernel gives a Unix socket's sender room back only once a whole write it queued has been
// taken: a Dart side that takes small pieces slowly (a few KiB within the stall time) still frees
// room, and keeps its connection.
TEST_F(SocketBacklogTest, ADartSideThatReadsSlowlyInSmallPiecesKeepsItsConnection) {
  flutter::testing::setSocketStallTime(milliseconds(1500));
  UniqueFd client = servedClient();
  ASSERT_TRUE(client);
  const int receive_buffer = 4096;
  ASSERT_EQ(::setsockopt(client.get(), SOL_SOCKET, SO_RCVBUF, &receive_buffer,
                         sizeof(receive_buffer)),
            0);
  const timeval receive_timeout{60, 0};
  ASSERT_EQ(::setsockopt(client.get(), SOL_SOCKET, SO_RCVTIMEO, &receive_timeout,
                         sizeof(receive_timeout)),
            0);
  std::vector<uint8_t> chunk(1 << 20);
  // More than the socket holds, so that most of it waits for the Dart side.
  constexpr size_t kEvent = 512u << 10;
  const std::string channel = "test/events";
  engine_->binaryMessenger()->sendOnChannel(channel, FlutterBytes(kEvent));
  const size_t frame = 4 + 1 + 4 + 2 + channel.size() + 1 + kEvent;
  // 512 bytes at a time, 8 KiB a second on average (a late read catches up), for three stall
  // times; then the rest as fast as it comes.
  constexpr size_t kPiece = 512;
  constexpr size_t kBytesPerSecond = 8192;
  constexpr size_t kSlowBytes = 36u << 10;
  size_t taken = 0;
  const auto start = Clock::now();
  while (taken < frame) {
    if (taken < kSlowBytes) {
      std::this_thread::sleep_until(start + std::chrono::microseconds(taken * 1'000'000 /
                                                                      kBytesPerSecond));
    }
    const size_t wanted = taken < kSlowBytes ? kPiece : chunk.size();
    const ssize_t received = ::recv(client.get(), chunk.data(), std::min(wanted, frame - taken), 0);
    if (received <= 0) break;
    taken += static_cast<size_t>(received);
  }
  EXPECT_EQ(taken, frame) << "the connection ended";
  EXPECT_TRUE(logLinesContaining("the Dart side is not reading").empty());
}

FlutterBytes echoCalls(uint32_t firstId, uint32_t count, size_t argumentSize) {
  FlutterBytes bytes;
  const auto message = FlutterStandardMethodCodec::sharedInstance()->encodeMethodCall(
      {"echo", Value(std::string(argumentSize, 'x'))});
  for (uint32_t id = firstId; id < firstId + count; ++id) {
    auto frame = *flutter::encodeSocketFrame(
        {SocketFrameKind::messageFromDartSide, id, "test/values", message});
    bytes.insert(bytes.end(), frame.begin(), frame.end());
  }
  return bytes;
}

// A Dart side that sends faster than the main thread handles its calls: past the bound of what
// may wait for the main thread the rest waits in its socket, and every call is answered, in
// order, once the main thread runs.
TEST_F(SocketBacklogTest, CallsPastTheInputBoundWaitInTheSocketUntilTheMainThreadTakesThem) {
  struct Case {
    uint32_t calls;
    size_t argument_size;
  };
  // Past the bound in frames (small calls), then in bytes (large ones); either way far more than
  // the socket's buffers and the bound hold together.
  uint32_t next_id = 1;
  for (const Case& bound : {Case{8000, 100}, Case{24, 1u << 20}}) {
    SCOPED_TRACE(bound.calls);
    ReadingClient client(path_);
    const auto bytes = echoCalls(next_id, bound.calls, bound.argument_size);
    std::atomic<bool> sent{false};
    std::thread sender([&] { sent = client.sendAll(bytes); });
    // The main thread does not run meanwhile: the host reads up to its bound and no further.
    std::this_thread::sleep_for(milliseconds(1000));
    EXPECT_FALSE(sent) << "the host read every call although its main thread handled none";
    const bool answered = client.waitForFrames(bound.calls);
    sender.join();
    ASSERT_TRUE(answered) << "the connection was closed";
    EXPECT_TRUE(sent);
    uint32_t expected = next_id;
    for (const auto& frame : client.frames()) {
      ASSERT_EQ(frame.kind, SocketFrameKind::replyFromHost);
      ASSERT_EQ(frame.id, expected++) << "answered in order";
    }
    next_id += bound.calls;
  }
  EXPECT_TRUE(logLinesContaining("Closed the Dart side's connection").empty());
}

// Urgent work (a termination request) waits for no more than the Dart side's message being
// handled: a block of them makes way between two, and goes on after it.
TEST_F(SocketBacklogTest, UrgentWorkGoesAheadOfTheDartSidesMessagesBetweenTwoOfThem) {
  std::vector<int64_t> order;
  FlutterMethodChannel("test/order", engine_->binaryMessenger())
      .setMethodCallHandler([&order](const FlutterMethodCall& call, FlutterResult result) {
        const int64_t id = call.arguments.asInteger().value_or(0);
        order.push_back(id);
        if (id == 1) {
          dispatch::MainQueue::shared()->asyncUrgent([&order] { order.push_back(-1); });
        }
        result(nullptr);
      });
  ReadingClient client(path_);
  std::vector<ReadingClient::Call> calls;
  for (uint32_t id = 1; id <= 100; ++id) {
    calls.push_back({id, "test/order", "call", Value(static_cast<int64_t>(id))});
  }
  client.call(calls);
  ASSERT_TRUE(client.waitForFrames(calls.size()));
  std::vector<int64_t> expected = {1, -1};
  for (int64_t id = 2; id <= 100; ++id) expected.push_back(id);
  EXPECT_EQ(order, expected);
  engine_->binaryMessenger()->setMessageHandlerOnChannel("test/order", nullptr);
}

}  // namespace
