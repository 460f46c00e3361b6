#include "plugins/litedb/litedb_method_call_operation.h"

#include "plugins/litedb/litedb_sql_values.h"

namespace litedb {

std::shared_ptr<LiteDbMethodCallOperation> LiteDbMethodCallOperation::newWithCall(
    std::shared_ptr<const FlutterMethodCall> call, FlutterResult result) {
  return std::make_shared<LiteDbMethodCallOperation>(std::move(call), std::move(result));
}

const flutter::Value* LiteDbMethodCallOperation::getArgument(std::string_view key) const {
  const auto* map = flutter_method_call_->arguments.asMap();
  return map != nullptr ? map->find(key) : nullptr;
}

const std::string& LiteDbMethodCallOperation::getSql() const {
  static const std::string kNone;
  const flutter::Value* sql = getArgument("sql");
  return sql != nullptr && sql->asString() != nullptr ? *sql->asString() : kNone;
}

flutter::ValueList LiteDbMethodCallOperation::getSqlArguments() const {
  return toSqlArguments(getArgument("arguments"));
}

bool LiteDbMethodCallOperation::getNoResult() const {
  const flutter::Value* value = getArgument("noResult");
  return value != nullptr && value->is<bool>() && value->get<bool>();
}

bool LiteDbMethodCallOperation::getContinueOnError() const {
  const flutter::Value* value = getArgument("continueOnError");
  return value != nullptr && value->is<bool>() && value->get<bool>();
}

}  // namespace litedb
