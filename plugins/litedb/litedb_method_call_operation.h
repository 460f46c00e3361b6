// A SQL call from the Dart side: reads the call's argument map and answers through its result.
#pragma once

#include <memory>

#include "platform/flutter/flutter_result.h"
#include "plugins/litedb/litedb_operation.h"

namespace litedb {

class LiteDbMethodCallOperation : public LiteDbOperation {
 public:
  static std::shared_ptr<LiteDbMethodCallOperation> newWithCall(
      std::shared_ptr<const FlutterMethodCall> call, FlutterResult result);

  LiteDbMethodCallOperation(std::shared_ptr<const FlutterMethodCall> call, FlutterResult result)
      : flutter_method_call_(std::move(call)), flutter_result_(std::move(result)) {}

  std::string getMethod() const override { return flutter_method_call_->method; }
  const std::string& getSql() const override;
  flutter::ValueList getSqlArguments() const override;
  bool getNoResult() const override;
  bool getContinueOnError() const override;
  void success(flutter::Value result) override { flutter_result_(std::move(result)); }
  void error(FlutterError error) override { flutter_result_(std::move(error)); }
  // Keys present with null read as present (so a null "transactionId" can be told apart).
  const flutter::Value* getArgument(std::string_view key) const override;

  const FlutterMethodCall& flutterMethodCall() const { return *flutter_method_call_; }
  const FlutterResult& flutterResult() const { return flutter_result_; }

 private:
  std::shared_ptr<const FlutterMethodCall> flutter_method_call_;
  FlutterResult flutter_result_;
};

}  // namespace litedb
