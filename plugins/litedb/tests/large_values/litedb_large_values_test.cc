// What large pages cost: a page is built close to the bytes it is sent as (at most twice its
// encoded size while it is built and encoded), it is encoded on the database's worker, and the
// main thread only hands the encoded answer on. Counted by the process's own accounting (the
// allocation meter), not by timings.
#include <gtest/gtest.h>

#include "platform/flutter/testing/allocation_meter.h"
#include "plugins/litedb/tests/litedb_plugin_fixture.h"

namespace litedb::testing {
namespace {

using flutter::testing::AllocationMeter;

constexpr size_t kMiB = size_t{1} << 20;

class LiteDbLargeValuesTest : public LiteDbPluginTest {
 protected:
  void SetUp() override {
    if (!AllocationMeter::isCounting()) GTEST_SKIP() << "operator new is not counted here";
    LiteDbPluginTest::SetUp();
  }

  flutter::testing::TestDartSide::PendingBinary queryLater(int64_t id, const std::string& sql,
                                                           flutter::ValueMap extra = {}) {
    flutter::ValueMap arguments{{Value("id"), Value(id)}, {Value("sql"), Value(sql)}};
    for (auto& [key, value] : extra) arguments.append(key, value);
    return dart.sendBinary("com.velmora.litedb",
                           FlutterStandardMethodCodec::sharedInstance()->encodeMethodCall(
                               {"query", Value(std::move(arguments))}));
  }

  static MethodReply decoded(const FlutterBinaryMessage& reply) {
    MethodReply answer;
    auto envelope = FlutterStandardMethodCodec::sharedInstance()->decodeEnvelope(*reply);
    if (auto* error = std::get_if<FlutterError>(&envelope)) {
      answer.kind = MethodReply::Kind::error;
      answer.error = *error;
    } else {
      answer.kind = MethodReply::Kind::success;
      answer.value = std::get<Value>(envelope);
    }
    return answer;
  }

  // Rows of eight small numbers: the kind of page that costs most as values.
  static std::string numberRows(int rows) {
    return "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < " +
           std::to_string(rows) +
           ") SELECT x, x + 1, x + 2, x + 3, x + 4, x + 5, x + 6, x * 0.5 "
           "FROM c";
  }
};

TEST_F(LiteDbLargeValuesTest, APageCostsAtMostTwiceItsEncodedSizeWhileItIsBuiltAndEncoded) {
  int64_t id = open(":memory:");
  AllocationMeter meter;
  auto pending = queryLater(id, numberRows(250000));
  ASSERT_TRUE(dart.runUntil([&] { return pending.ready(); }, std::chrono::seconds(60)));
  const size_t peak = meter.peakBytesAboveStart();
  auto reply = pending.wait();
  ASSERT_TRUE(reply.has_value());
  const size_t encoded = reply->size();
  EXPECT_GT(encoded, 16 * kMiB);
  EXPECT_LE(peak, 2 * encoded + 2 * kMiB) << "encoded " << encoded;
  EXPECT_EQ(rowCount(decoded(reply)), 250000u);
}

TEST_F(LiteDbLargeValuesTest, APagePastTheReplyLimitIsRefusedWithinTheLimitsOwnSize) {
  int64_t id = open(":memory:");
  AllocationMeter meter;
  // Some 80 MiB of rows.
  auto pending = queryLater(id, numberRows(1000000));
  ASSERT_TRUE(dart.runUntil([&] { return pending.ready(); }, std::chrono::seconds(120)));
  const size_t peak = meter.peakBytesAboveStart();
  auto answer = decoded(pending.wait());
  ASSERT_TRUE(answer.isError()) << answer.describe();
  EXPECT_EQ(answer.error.code, "reply_too_large");
  EXPECT_LE(peak, size_t{flutter::kMaxSocketFrameLength} + 2 * kMiB);
}

TEST_F(LiteDbLargeValuesTest, ACursorPageOfALargeBlobIsEncodedOffTheMainThread) {
  int64_t id = open(":memory:");
  ASSERT_TRUE(execute(id, "CREATE TABLE b (v BLOB)").isSuccess());
  // Making 60 MiB takes its time under the sanitizers on a busy machine.
  auto inserted = callAsync("execute", map({{"id", Value(id)},
                                            {"sql", Value("INSERT INTO b VALUES "
                                                          "(zeroblob(60 * 1048576)), (x'01')")}}))
                      .wait(std::chrono::seconds(60));
  ASSERT_TRUE(inserted.isSuccess()) << inserted.describe();
  for (bool cursor : {true, false}) {
    SCOPED_TRACE(cursor ? "a cursor's first page" : "one page");
    flutter::ValueMap extra;
    if (cursor) extra.append(Value("cursorPageSize"), Value(int32_t{1}));
    std::string sql = cursor ? "SELECT v FROM b" : "SELECT v FROM b LIMIT 1";
    AllocationMeter meter;
    auto pending = queryLater(id, sql, std::move(extra));
    ASSERT_TRUE(dart.runUntil([&] { return pending.ready(); }, std::chrono::seconds(60)));
    EXPECT_LE(meter.bytesAllocatedByThisThread(), kMiB);
    auto answer = decoded(pending.wait());
    ASSERT_TRUE(answer.isSuccess()) << answer.describe();
    const auto& rows = *answer.value.find("rows")->asList();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].asList()->at(0).getIf<std::vector<uint8_t>>()->size(), 60 * kMiB);
    EXPECT_EQ(cursorOf(answer).has_value(), cursor);
  }
}

// The main thread decodes a large call once and hands the decoded call itself to the database's
// worker: the call of a batch is never copied on the way.
TEST_F(LiteDbLargeValuesTest, ALargeCallIsDecodedOnceAndHandedToItsDatabaseUncopied) {
  int64_t id = open(":memory:");
  ASSERT_TRUE(execute(id, "CREATE TABLE b (v BLOB)").isSuccess());
  flutter::ValueList operations;
  for (int i = 0; i < 4; ++i) {
    operations.push_back(
        map({{"method", Value("insert")},
             {"sql", Value("INSERT INTO b VALUES (?)")},
             {"arguments", Value(flutter::ValueList{Value(std::vector<uint8_t>(8 * kMiB, 1))})}}));
  }
  auto message = FlutterStandardMethodCodec::sharedInstance()->encodeMethodCall(
      {"batch", map({{"id", Value(id)},
                     {"operations", Value(std::move(operations))},
                     {"noResult", Value(true)}})});
  AllocationMeter meter;
  auto pending = dart.sendBinary("com.velmora.litedb", std::move(message));
  ASSERT_TRUE(dart.runUntil([&] { return pending.ready(); }, std::chrono::seconds(60)));
  // The decoded blobs (32 MiB) and little else.
  EXPECT_LE(meter.bytesAllocatedByThisThread(), 33 * kMiB);
  auto answer = decoded(pending.wait());
  ASSERT_TRUE(answer.isSuccess()) << answer.describe();
}

// Binding views a statement's text and bytes in the decoded call: neither a single insert nor a
// batch's copies them on the database's worker.
TEST_F(LiteDbLargeValuesTest, LargeTextAndBytesAreBoundWhereTheyStandAloneAndInABatch) {
  int64_t id = open(":memory:");
  ASSERT_TRUE(execute(id, "CREATE TABLE t (s TEXT, b BLOB, d BLOB, i BLOB)").isSuccess());
  // Text, bytes and typed data (bound as their bytes), 8 MiB each.
  constexpr size_t kPart = 8 * kMiB;
  constexpr size_t kSize = 4 * kPart;
  const Value row(flutter::ValueList{Value(std::string(kPart, 's')),
                                     Value(std::vector<uint8_t>(kPart, 7)),
                                     Value(std::vector<double>(kPart / sizeof(double), 0.5)),
                                     Value(std::vector<int32_t>(kPart / sizeof(int32_t), 3))});
  const Value sql("INSERT INTO t VALUES (?, ?, ?, ?)");
  const std::pair<const char*, Value> calls[] = {
      {"insert", map({{"id", Value(id)}, {"sql", sql}, {"arguments", row}})},
      {"batch", map({{"id", Value(id)},
                     {"operations", Value(flutter::ValueList{map(
                                        {{"method", Value("insert")},
                                         {"sql", sql},
                                         {"arguments", row}})})}})},
  };
  for (const auto& [method, arguments] : calls) {
    SCOPED_TRACE(method);
    auto message =
        FlutterStandardMethodCodec::sharedInstance()->encodeMethodCall({method, arguments});
    AllocationMeter meter;
    auto pending = dart.sendBinary("com.velmora.litedb", std::move(message));
    ASSERT_TRUE(dart.runUntil([&] { return pending.ready(); }, std::chrono::seconds(60)));
    auto answer = decoded(pending.wait());
    ASSERT_TRUE(answer.isSuccess()) << answer.describe();
    // The values decoded from the call (32 MiB); a copy bound would be as much again.
    EXPECT_LE(meter.bytesAllocatedByTheProcess(), kSize + 2 * kMiB);
  }
}

}  // namespace
}  // namespace litedb::testing
