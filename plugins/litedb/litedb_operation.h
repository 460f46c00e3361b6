// One unit of SQL work, as a method call or as an entry of a batch: what to run and where its
// answer goes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/flutter/flutter_codec.h"

namespace litedb {

class LiteDbOperation {
 public:
  virtual ~LiteDbOperation() = default;

  virtual std::string getMethod() const = 0;
  // Empty when the operation carries no statement. Lives as long as the operation's arguments.
  virtual const std::string& getSql() const = 0;
  // The arguments as they are bound (see toSqlArguments); empty when there are none.
  virtual flutter::ValueList getSqlArguments() const = 0;
  virtual bool getNoResult() const { return false; }
  virtual bool getContinueOnError() const { return false; }
  virtual void success(flutter::Value /*result*/) {}
  virtual void error(FlutterError /*error*/) {}
  // The raw argument, or null when it is absent.
  virtual const flutter::Value* getArgument(std::string_view key) const = 0;

  // "transactionId" when it is an integer.
  std::optional<int64_t> getTransactionId() const;
  // "inTransaction" when it is present and not null.
  std::optional<bool> getInTransactionChange() const;
  // Whether "transactionId" is present and null.
  bool hasNullTransactionId() const;
  // "cursorPageSize" when it is an integer.
  std::optional<int64_t> getCursorPageSize() const;
};

}  // namespace litedb
