// What waits for a Dart side that does not read is bounded by what holding it costs, not only by
// its bytes: many small frames cost far more than their bytes in buffers and their bookkeeping.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <memory>

#include "platform/flutter/flutter.h"
#include "platform/flutter/socket_connection.h"
#include "platform/flutter/testing/allocation_meter.h"

namespace {

using flutter::SocketConnection;
using flutter::testing::AllocationMeter;
using libsystem::UniqueFd;

struct Pair {
  UniqueFd host;
  UniqueFd dart_side;  // never read
};

Pair connectedPair() {
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0) return {};
  return {UniqueFd(fds[0]), UniqueFd(fds[1])};
}

// A payload of `size` bytes in a buffer of `capacity`, as an encoder that grew it leaves it.
FlutterBytes grownPayload(size_t size, size_t capacity) {
  FlutterBytes bytes;
  bytes.reserve(capacity);
  bytes.resize(size, 0x42);
  return bytes;
}

TEST(SocketOutputCostTest, WhatWaitsIsCountedAtNoLessThanItsHeapCost) {
  if (!AllocationMeter::isCounting()) GTEST_SKIP() << "operator new is not counted here";
  struct Case {
    const char* what;
    size_t frames;
    size_t size;
    size_t capacity;
  };
  for (const Case& kind : {Case{"small replies", 100'000, 16, 16},
                           Case{"grown payloads", 400, 40'000, 80'000}}) {
    SCOPED_TRACE(kind.what);
    auto pair = connectedPair();
    ASSERT_TRUE(pair.host);
    SocketConnection connection(std::move(pair.host), std::make_shared<flutter::WakeSignal>());
    AllocationMeter meter;
    for (uint32_t id = 1; id <= kind.frames; ++id) {
      connection.sendReply(id, "test/values", grownPayload(kind.size, kind.capacity));
    }
    ASSERT_TRUE(connection.hasPendingOutput()) << "the socket took it all";
    EXPECT_LE(meter.peakBytesAboveStart(), connection.heldOutput());
    connection.close();
  }
}

// The bound applies to that cost: what waits holds no more memory than the bound, however much
// larger than their bytes the frames' buffers are.
TEST(SocketOutputCostTest, TheBoundHoldsWhatWaitsToItsCostInMemory) {
  if (!AllocationMeter::isCounting()) GTEST_SKIP() << "operator new is not counted here";
  auto pair = connectedPair();
  ASSERT_TRUE(pair.host);
  SocketConnection connection(std::move(pair.host), std::make_shared<flutter::WakeSignal>());
  constexpr size_t kPayload = 8u << 20;
  AllocationMeter meter;
  // Twice the bound in bytes, each in a buffer twice its size: the replies past the bound are
  // answered with the small busy error.
  for (uint32_t id = 1; id <= 2 * SocketConnection::kMaxPendingOutput / kPayload; ++id) {
    connection.sendReply(id, "test/values", grownPayload(kPayload, 2 * kPayload));
  }
  // The bound, and the one payload made while it was reached.
  EXPECT_LE(meter.peakBytesAboveStart(), SocketConnection::kMaxPendingOutput + 2 * kPayload);
  connection.close();
}

}  // namespace
