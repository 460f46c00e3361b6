// Large values on their way to the Dart side: every reply and host message moves its value and
// is encoded once, so the thread that answers allocates one encoded copy of it and no more, and
// an answer given off the main thread costs the main thread nothing of its size. Bounded by the
// process's own accounting (the allocation meter), not by timings.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <thread>

#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/flutter/flutter.h"
#include "platform/flutter/socket_frame.h"
#include "platform/flutter/testing/allocation_meter.h"
#include "platform/flutter/testing/test_dart_side.h"
#include "platform/flutter/tests/socket_test_support.h"

namespace {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;
using flutter::testing::AllocationMeter;
using flutter::testing::TestDartSide;

constexpr size_t kMiB = size_t{1} << 20;
constexpr size_t kLarge = 8 * kMiB;
// What an answer may allocate besides its one encoded copy: the buffer's room after a large
// write, and the channel's own small records.
constexpr size_t kSmallAllowance = kMiB;

struct LargeKind {
  const char* name;
  std::function<Value()> make;
};

std::vector<LargeKind> largeKinds() {
  return {
      {"string", [] { return Value(std::string(kLarge, 'x')); }},
      {"bytes", [] { return Value(std::vector<uint8_t>(kLarge, 7)); }},
      {"int32s", [] { return Value(std::vector<int32_t>(kLarge / 4, 7)); }},
      {"int64s", [] { return Value(std::vector<int64_t>(kLarge / 8, 7)); }},
      {"float32s", [] { return Value(std::vector<float>(kLarge / 4, 0.5f)); }},
      {"float64s", [] { return Value(std::vector<double>(kLarge / 8, 0.5)); }},
      {"list",
       [] {
         ValueList list;
         for (int i = 0; i < 4; ++i) list.emplace_back(std::string(kLarge / 4, 'x'));
         list.emplace_back(int32_t{1});
         return Value(std::move(list));
       }},
      {"map",
       [] {
         ValueMap map;
         for (int i = 0; i < 4; ++i) {
           map.append(Value(int32_t{i}), Value(std::vector<uint8_t>(kLarge / 4, 1)));
         }
         map.append(Value("after"), Value(int32_t{1}));
         return Value(std::move(map));
       }},
  };
}

class LargeValuesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!AllocationMeter::isCounting()) GTEST_SKIP() << "operator new is not counted here";
  }

  std::shared_ptr<FlutterEngine> engine = FlutterEngine::create();
  TestDartSide dart{engine};
  std::shared_ptr<FlutterBinaryMessenger> messenger = engine->binaryMessenger();
};

TEST_F(LargeValuesTest, RepliesOfEveryKindAreEncodedOnceWhereTheyAreGiven) {
  FlutterMethodChannel channel("large", messenger);
  Value prepared;
  channel.setMethodCallHandler(
      [&](const FlutterMethodCall&, FlutterResult result) { result(std::move(prepared)); });
  for (const auto& kind : largeKinds()) {
    SCOPED_TRACE(kind.name);
    prepared = kind.make();
    // The call is delivered, and may be answered, as it is sent.
    AllocationMeter meter;
    auto pending = dart.invokeMethodAsync("large", "get");
    ASSERT_TRUE(dart.runUntil([&] { return pending.ready(); }));
    const size_t allocated = meter.bytesAllocatedByThisThread();
    EXPECT_LE(allocated, kLarge + kSmallAllowance);
    EXPECT_GE(allocated, kLarge);
    EXPECT_TRUE(pending.wait().isSuccess());
  }
}

TEST_F(LargeValuesTest, AReplyGivenOffTheMainThreadIsEncodedThereAndOnlyHandedOn) {
  FlutterMethodChannel channel("large", messenger);
  Value prepared;
  std::thread worker;
  channel.setMethodCallHandler([&](const FlutterMethodCall&, FlutterResult result) {
    worker = std::thread([&prepared, result = std::move(result)] { result(std::move(prepared)); });
  });
  for (const auto& kind : largeKinds()) {
    SCOPED_TRACE(kind.name);
    prepared = kind.make();
    // The call is delivered, and may be answered, as it is sent.
    AllocationMeter meter;
    auto pending = dart.invokeMethodAsync("large", "get");
    ASSERT_TRUE(dart.runUntil([&] { return pending.ready(); }));
    EXPECT_LE(meter.bytesAllocatedByThisThread(), kSmallAllowance);
    worker.join();
    EXPECT_TRUE(pending.wait().isSuccess());
  }
}

// Through the socket as through the test peer: the main thread makes the frame's head and hands
// the answer's bytes on as they are, never encoding or copying them into a buffer there.
TEST(LargeValuesOverTheSocketTest, AReplyGivenOffTheMainThreadIsOnlyHandedOnThere) {
  if (!AllocationMeter::isCounting()) GTEST_SKIP() << "operator new is not counted here";
  socket_testing::TemporaryDirectory directory;
  const auto path = directory.file("dart-side.sock");
  auto engine = FlutterEngine::create();
  ASSERT_TRUE(engine->serveDartSideOnSocket(path));
  std::thread worker;
  FlutterMethodChannel("large", engine->binaryMessenger())
      .setMethodCallHandler([&worker](const FlutterMethodCall&, FlutterResult result) {
        worker = std::thread([result = std::move(result)] {
          result(Value(std::vector<uint8_t>(kLarge, 0x33)));
        });
      });
  libsystem::UniqueFd client = socket_testing::connectTo(path);
  ASSERT_TRUE(client);
  // The Dart side takes the reply's frame on a thread of its own, as another process would.
  std::atomic<size_t> frame_length{0};
  std::atomic<bool> done{false};
  std::thread reader([&] {
    std::vector<uint8_t> chunk(1 << 16);
    uint8_t length[4];
    size_t received = 0;
    for (;;) {
      const ssize_t got = ::recv(client.get(), chunk.data(), chunk.size(), 0);
      if (got <= 0) break;
      for (ssize_t i = 0; i < got && received + i < 4; ++i) length[received + i] = chunk[i];
      received += static_cast<size_t>(got);
      if (received >= 4) {
        const uint32_t rest = length[0] | (length[1] << 8) | (length[2] << 16) |
                              (uint32_t{length[3]} << 24);
        if (received >= 4 + size_t{rest}) {
          frame_length = 4 + size_t{rest};
          break;
        }
      }
    }
    done = true;
  });
  const auto call = *flutter::encodeSocketFrame(
      {flutter::SocketFrameKind::messageFromDartSide, 1, "large",
       FlutterStandardMethodCodec::sharedInstance()->encodeMethodCall({"get", nullptr})});
  AllocationMeter meter;
  ASSERT_EQ(::send(client.get(), call.data(), call.size(), MSG_NOSIGNAL),
            static_cast<ssize_t>(call.size()));
  const bool arrived =
      dispatch::testing::runUntil([&] { return done.load(); }, std::chrono::seconds(60));
  const size_t allocated = meter.bytesAllocatedByThisThread();
  ::shutdown(client.get(), SHUT_RDWR);
  reader.join();
  if (worker.joinable()) worker.join();
  engine->shutDown();
  dispatch::testing::drainUntilIdle();
  ASSERT_TRUE(arrived);
  EXPECT_GT(frame_length.load(), kLarge) << "the whole reply arrived";
  EXPECT_LE(allocated, kSmallAllowance) << allocated << " bytes allocated on the main thread";
}

TEST_F(LargeValuesTest, HostMessagesOfEveryKindAreEncodedOnce) {
  FlutterMethodChannel method_channel("calls", messenger);
  FlutterBasicMessageChannel message_channel("messages", messenger);
  size_t sent = 0;
  for (const auto& kind : largeKinds()) {
    SCOPED_TRACE(kind.name);
    ++sent;
    Value call_value = kind.make();
    Value message_value = kind.make();
    AllocationMeter meter;
    method_channel.invokeMethod("take", std::move(call_value));
    message_channel.sendMessage(message_value);
    dart.drain();
    const size_t allocated = meter.bytesAllocatedByThisThread();
    EXPECT_LE(allocated, 2 * (kLarge + kSmallAllowance));
    EXPECT_GE(allocated, 2 * kLarge);
    EXPECT_EQ(dart.messagesFromHost("calls").size(), sent);
    EXPECT_EQ(dart.messagesFromHost("messages").size(), sent);
  }
}

}  // namespace
