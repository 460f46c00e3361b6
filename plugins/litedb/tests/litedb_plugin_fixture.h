// The database plug-in driven through "com.velmora.litedb" as the Dart side drives it: the
// fixture the channel-level suites share.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/flutter/testing/test_dart_side.h"
#include "plugins/litedb/litedb_plugin.h"
#include "plugins/litedb/tests/litedb_test_support.h"

namespace litedb::testing {

using flutter::Value;
using flutter::testing::MethodReply;

class LiteDbPluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LiteDbPlugin::registerWithRegistrar(dart.registrar("LiteDbPlugin"));
    ASSERT_TRUE(call("options", map({{"logLevel", Value(int32_t{0})}})).isSuccess());
  }

  MethodReply call(const std::string& method, Value arguments = Value()) {
    return dart.invokeMethod("com.velmora.litedb", method, std::move(arguments));
  }
  flutter::testing::TestDartSide::PendingCall callAsync(const std::string& method,
                                                        Value arguments) {
    return dart.invokeMethodAsync("com.velmora.litedb", method, std::move(arguments));
  }
  int64_t open(const std::string& path, bool singleInstance = false) {
    auto reply = call("openDatabase",
                      map({{"path", Value(path)}, {"singleInstance", Value(singleInstance)}}));
    EXPECT_TRUE(reply.isSuccess()) << reply.describe();
    return reply.value.find("id") ? *reply.value.find("id")->asInteger() : -1;
  }
  MethodReply execute(int64_t id, const std::string& sql, Value arguments = Value()) {
    return call("execute", map({{"id", Value(id)}, {"sql", Value(sql)}, {"arguments", arguments}}));
  }
  MethodReply close(int64_t id) { return call("closeDatabase", map({{"id", Value(id)}})); }

  TemporaryFolder folder;
  std::shared_ptr<FlutterEngine> engine = FlutterEngine::create();
  flutter::testing::TestDartSide dart{engine};

  MethodReply insert(int64_t id, const std::string& sql, Value arguments = Value(),
                     Value transactionId = Value()) {
    return call("insert", map({{"id", Value(id)},
                               {"sql", Value(sql)},
                               {"arguments", arguments},
                               {"transactionId", transactionId}}));
  }
  MethodReply query(int64_t id, const std::string& sql, Value extra_key = Value(),
                    Value extra = Value()) {
    flutter::ValueMap arguments{{Value("id"), Value(id)}, {Value("sql"), Value(sql)}};
    if (!extra_key.isNull()) arguments.append(extra_key, extra);
    return call("query", Value(std::move(arguments)));
  }
  MethodReply next(int64_t id, int32_t cursorId, bool cancel = false) {
    return call("queryCursorNext",
                map({{"id", Value(id)}, {"cursorId", Value(cursorId)}, {"cancel", Value(cancel)}}));
  }
  // Opens a database holding `rows` rows of (n) numbered from 1.
  int64_t numbers(int rows) {
    int64_t id = open(":memory:");
    EXPECT_TRUE(execute(id, "CREATE TABLE n (v INTEGER)").isSuccess());
    EXPECT_TRUE(execute(id,
                        "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c "
                        "WHERE x < " +
                            std::to_string(rows) + ") INSERT INTO n SELECT x FROM c")
                    .isSuccess());
    return id;
  }
};

inline size_t rowCount(const MethodReply& page) {
  const Value* rows = page.value.find("rows");
  return rows != nullptr ? rows->asList()->size() : 0;
}

inline std::optional<int64_t> cursorOf(const MethodReply& page) {
  const Value* cursor = page.value.find("cursorId");
  return cursor != nullptr ? cursor->asInteger() : std::nullopt;
}

}  // namespace litedb::testing
