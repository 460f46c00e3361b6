// One entry of a batch: reads the entry's map and keeps its outcome until the batch collects it.
#pragma once

#include <optional>

#include "platform/flutter/flutter_result.h"
#include "plugins/litedb/litedb_batch_results.h"
#include "plugins/litedb/litedb_operation.h"

namespace litedb {

class LiteDbBatchOperation : public LiteDbOperation {
 public:
  // The entry must outlive the operation (it lives in the batch call's arguments).
  LiteDbBatchOperation(const flutter::ValueMap& dictionary, bool noResult)
      : dictionary_(dictionary), no_result_(noResult) {}

  std::string getMethod() const override;
  const std::string& getSql() const override;
  flutter::ValueList getSqlArguments() const override;
  bool getNoResult() const override { return no_result_; }
  bool getContinueOnError() const override { return continue_on_error_; }
  void success(flutter::Value result) override { results_ = std::move(result); }
  void error(FlutterError error) override { error_ = std::move(error); }
  const flutter::Value* getArgument(std::string_view key) const override {
    return dictionary_.find(key);
  }

  // Appends {"result": ...} unless results are not collected; hands the result over.
  void handleSuccess(LiteDbBatchResults& results);
  // Appends {"error": {"code", "message", "data"}} unless results are not collected.
  void handleErrorContinue(LiteDbBatchResults& results) const;
  // Answers the stored error.
  void handleError(const FlutterResult& result) const;

 private:
  const flutter::ValueMap& dictionary_;
  std::optional<flutter::Value> results_;
  std::optional<FlutterError> error_;
  bool no_result_;
  bool continue_on_error_ = false;
};

}  // namespace litedb
