#include "plugins/litedb/litedb_batch_results.h"

#include <limits>
#include <string_view>

#include "platform/flutter/flutter_standard_codec.h"

namespace litedb {
namespace {

// A one-entry map's type byte and size, and its key as a string (the longer one, "result").
constexpr size_t kEntryHead = 2 + 2 + 6;

}  // namespace

void LiteDbBatchResults::append(bool isError, flutter::Value value) {
  size_hint_ += kEntryHead + flutterEncodedSizeHint(value);
  entries_.push_back(Entry{isError, std::move(value)});
}

void LiteDbBatchResults::writeTo(FlutterStandardWriter& writer) const {
  if (entries_.size() > std::numeric_limits<uint32_t>::max()) {
    throw FlutterCodecError("Container too large to encode");
  }
  writer.reserve(size_hint_);
  writer.writeByte(FlutterStandardFieldList);
  writer.writeSize(static_cast<uint32_t>(entries_.size()));
  for (const Entry& entry : entries_) {
    writer.writeByte(FlutterStandardFieldMap);
    writer.writeSize(1);
    writer.writeByte(FlutterStandardFieldString);
    writer.writeUTF8(entry.is_error ? std::string_view("error") : std::string_view("result"));
    writer.writeValue(entry.value);
  }
}

}  // namespace litedb
