// Large values on their way to the Dart side: every reply and host message moves its value and
// is encoded once, so the thread that answers allocates one encoded copy of it and no more, and
// an answer given off the main thread costs the main thread nothing of its size. Bounded by the
// process's own accounting (the allocation meter), not by timings.
#include <gtest/gtest.h>

#include <thread>

#include "platform/flutter/flutter.h"
#include "platform/flutter/testing/allocation_meter.h"
#include "platform/flutter/testing/test_dart_side.h"

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
