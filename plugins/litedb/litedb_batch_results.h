// A batch's answer: one entry per operation, {"result": value} or {"error": value}. Each entry
// keeps only its value; the maps around them are written straight into the answer as it is
// encoded, so that a batch of many small operations builds no map per operation.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/flutter/streamed_value.h"

namespace litedb {

class LiteDbBatchResults final : public flutter::StreamedValue {
 public:
  void reserve(size_t count) { entries_.reserve(count); }
  void appendResult(flutter::Value result) { append(false, std::move(result)); }
  void appendError(flutter::Value error) { append(true, std::move(error)); }
  size_t size() const { return entries_.size(); }

  std::string typeName() const override { return "LiteDbBatchResults"; }
  void writeTo(FlutterStandardWriter& writer) const override;
  size_t encodedSizeHint() const override { return size_hint_; }

 private:
  struct Entry {
    bool is_error;
    flutter::Value value;
  };
  void append(bool isError, flutter::Value value);

  std::vector<Entry> entries_;
  size_t size_hint_ = kListHead;

  // A type byte, the largest size field and the largest alignment.
  static constexpr size_t kListHead = 1 + 5 + 7;
};

}  // namespace litedb
