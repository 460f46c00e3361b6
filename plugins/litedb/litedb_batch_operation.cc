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

void LiteDbBatchOperation::handleSuccess(LiteDbBatchResults& results) {
  if (no_result_) return;
  results.appendResult(results_ ? std::move(*results_) : flutter::Value());
}

void LiteDbBatchOperation::handleErrorContinue(LiteDbBatchResults& results) const {
  if (no_result_) return;
  flutter::ValueMap error;
  if (error_) {
    error.append(flutter::Value("code"), flutter::Value(error_->code));
    if (error_->message) error.append(flutter::Value("message"), flutter::Value(*error_->message));
    if (!error_->details.isNull()) error.append(flutter::Value("data"), error_->details);
  }
  results.appendError(flutter::Value(std::move(error)));
}

void LiteDbBatchOperation::handleError(const FlutterResult& result) const {
  if (error_) result(*error_);
}

}  // namespace litedb
