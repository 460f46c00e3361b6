#include "plugins/litedb/litedb_batch_operation.h"

#include "plugins/litedb/litedb_sql_values.h"

namespace litedb {

std::string LiteDbBatchOperation::getMethod() const {
  const flutter::Value* method = dictionary_.find(std::string_view("method"));
  return method != nullptr && method->asString() != nullptr ? *method->asString() : std::string();
}

const std::string& LiteDbBatchOperation::getSql() const {
  static const std::string kNone;
  const flutter::Value* sql = dictionary_.find(std::string_view("sql"));
  return sql != nullptr && sql->asString() != nullptr ? *sql->asString() : kNone;
}

flutter::ValueList LiteDbBatchOperation::getSqlArguments() const {
  return toSqlArguments(dictionary_.find(std::string_view("arguments")));
}

void LiteDbBatchOperation::handleSuccess(flutter::ValueList& results) {
  if (no_result_) return;
  flutter::ValueMap entry;
  entry.append(flutter::Value("result"),
               results_ ? std::move(*results_) : flutter::Value());
  results.emplace_back(std::move(entry));
}

void LiteDbBatchOperation::handleErrorContinue(flutter::ValueList& results) const {
  if (no_result_) return;
  flutter::ValueMap error;
  if (error_) {
    error.append(flutter::Value("code"), flutter::Value(error_->code));
    if (error_->message) error.append(flutter::Value("message"), flutter::Value(*error_->message));
    if (!error_->details.isNull()) error.append(flutter::Value("data"), error_->details);
  }
  flutter::ValueMap entry;
  entry.append(flutter::Value("error"), flutter::Value(std::move(error)));
  results.emplace_back(std::move(entry));
}

void LiteDbBatchOperation::handleError(const FlutterResult& result) const {
  if (error_) result(*error_);
}

}  // namespace litedb
