#include "plugins/litedb/litedb_operation.h"

namespace litedb {

std::optional<int64_t> LiteDbOperation::getTransactionId() const {
  const flutter::Value* value = getArgument("transactionId");
  return value != nullptr ? value->asInteger() : std::nullopt;
}

std::optional<bool> LiteDbOperation::getInTransactionChange() const {
  const flutter::Value* value = getArgument("inTransaction");
  if (value == nullptr || !value->is<bool>()) return std::nullopt;
  return value->get<bool>();
}

bool LiteDbOperation::hasNullTransactionId() const {
  const flutter::Value* value = getArgument("transactionId");
  return value != nullptr && value->isNull();
}

std::optional<int64_t> LiteDbOperation::getCursorPageSize() const {
  const flutter::Value* value = getArgument("cursorPageSize");
  return value != nullptr ? value->asInteger() : std::nullopt;
}

}  // namespace litedb
