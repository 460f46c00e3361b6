#include "plugins/litedb/litedb_page.h"

#include <algorithm>
#include <cstring>

#include "platform/flutter/flutter_standard_codec.h"
#include "platform/foundation/utf8.h"
#include "plugins/litedb/litedb_text.h"

namespace litedb {
namespace {

// Chunks hold many small cells; a larger cell gets a chunk of its own size.
constexpr size_t kChunkSize = size_t{1} << 20;
// A cell is its type byte, then 8 bytes of a number, or a 4-byte length and that many bytes.
constexpr uint8_t kNullCell = FlutterStandardFieldNil;
constexpr uint8_t kIntegerCell = FlutterStandardFieldInt64;
constexpr uint8_t kDoubleCell = FlutterStandardFieldFloat64;
constexpr uint8_t kTextCell = FlutterStandardFieldString;
constexpr uint8_t kBytesCell = FlutterStandardFieldUInt8Data;

uint32_t checkedCount(size_t count) {
  if (count > UINT32_MAX) throw FlutterCodecError("Page too large to encode");
  return static_cast<uint32_t>(count);
}

void writeText(FlutterStandardWriter& writer, std::string_view text) {
  writer.writeByte(FlutterStandardFieldString);
  writer.writeUTF8(text);
}

// The most bytes a size field takes.
constexpr size_t kSizeField = 5;

}  // namespace

uint8_t* LiteDbPage::room(size_t size) {
  if (chunks_.empty() || chunks_.back().capacity - chunks_.back().size < size) {
    const size_t capacity = std::max(size, kChunkSize);
    chunks_.push_back({std::make_unique_for_overwrite<uint8_t[]>(capacity), 0, capacity});
  }
  Chunk& chunk = chunks_.back();
  uint8_t* at = chunk.bytes.get() + chunk.size;
  chunk.size += size;
  cell_bytes_ += size;
  return at;
}

void LiteDbPage::appendCell(uint8_t type, const void* bytes, size_t size) {
  const bool sized = type == kTextCell || type == kBytesCell;
  if (sized) encoding_growth_ += kSizeField - sizeof(uint32_t);
  if (type == kDoubleCell) encoding_growth_ += 7;
  uint8_t* cell = room(1 + (sized ? 4 : 0) + size);
  *cell++ = type;
  if (sized) {
    const uint32_t length = checkedCount(size);
    std::memcpy(cell, &length, sizeof length);
    cell += sizeof length;
  }
  if (size > 0) std::memcpy(cell, bytes, size);
}

void LiteDbPage::appendRow(sqlite3_stmt* statement, const std::vector<int>& types) {
  for (size_t i = 0; i < types.size(); ++i) {
    const int index = static_cast<int>(i);
    switch (types[i]) {
      case SQLITE_INTEGER: {
        const int64_t value = sqlite3_column_int64(statement, index);
        appendCell(kIntegerCell, &value, sizeof value);
        break;
      }
      case SQLITE_FLOAT: {
        const double value = sqlite3_column_double(statement, index);
        appendCell(kDoubleCell, &value, sizeof value);
        break;
      }
      case SQLITE_BLOB: {
        // An empty blob comes back as a null pointer; it is still empty bytes, not null.
        const void* bytes = sqlite3_column_blob(statement, index);
        const auto size = static_cast<size_t>(sqlite3_column_bytes(statement, index));
        appendCell(kBytesCell, bytes, bytes != nullptr ? size : 0);
        break;
      }
      case SQLITE_NULL:
        appendCell(kNullCell, nullptr, 0);
        break;
      default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, index));
        if (text == nullptr) {
          appendCell(kNullCell, nullptr, 0);
          break;
        }
        // The byte count, not the first zero byte, ends the text.
        std::string_view bytes(text, static_cast<size_t>(sqlite3_column_bytes(statement, index)));
        if (foundation::isValidUtf8(bytes)) {
          appendCell(kTextCell, bytes.data(), bytes.size());
        } else {
          const std::string repaired = utf8Text(bytes);
          appendCell(kTextCell, repaired.data(), repaired.size());
        }
      }
    }
  }
  ++row_count_;
}

size_t LiteDbPage::encodedSizeHint() const {
  size_t names = 0;
  for (const auto& name : columns_) names += 1 + kSizeField + name.size();
  return 64 + names + cell_bytes_ + encoding_growth_ + row_count_ * (1 + kSizeField);
}

void LiteDbPage::writeTo(FlutterStandardWriter& writer) const {
  // Room for all of it at once, so that the answer is never regrown while it is written.
  writer.reserve(encodedSizeHint());
  writer.writeByte(FlutterStandardFieldMap);
  if (row_count_ == 0) {
    writer.writeSize(0);
    return;
  }
  writer.writeSize(cursor_id_ ? 3 : 2);
  writeText(writer, "columns");
  writer.writeByte(FlutterStandardFieldList);
  writer.writeSize(checkedCount(columns_.size()));
  for (const auto& name : columns_) writeText(writer, name);
  writeText(writer, "rows");
  writer.writeByte(FlutterStandardFieldList);
  writer.writeSize(checkedCount(row_count_));
  const uint32_t columns = checkedCount(columns_.size());
  for (size_t row = 0; columns == 0 && row < row_count_; ++row) {
    writer.writeByte(FlutterStandardFieldList);
    writer.writeSize(0);
  }
  size_t column = 0;
  for (const auto& chunk : chunks_) {
    const uint8_t* cell = chunk.bytes.get();
    const uint8_t* end = cell + chunk.size;
    while (cell < end) {
      if (column == 0) {
        writer.writeByte(FlutterStandardFieldList);
        writer.writeSize(columns);
      }
      column = (column + 1) % columns;
      const uint8_t type = *cell;
      if (type == kIntegerCell) {
        // Kept as it is sent: the type byte and the value, in one write.
        writer.writeBytes(cell, 9);
        cell += 9;
        continue;
      }
      ++cell;
      writer.writeByte(type);
      if (type == kDoubleCell) {
        writer.writeAlignment(8);
        writer.writeBytes(cell, 8);
        cell += 8;
      } else if (type == kTextCell || type == kBytesCell) {
        uint32_t length;
        std::memcpy(&length, cell, sizeof length);
        cell += sizeof length;
        // Text was made valid UTF-8 as it was read.
        writer.writeSize(length);
        writer.writeBytes(cell, length);
        cell += length;
      }
    }
  }
  if (cursor_id_) {
    writeText(writer, "cursorId");
    writer.writeValue(flutter::Value(*cursor_id_));
  }
}

}  // namespace litedb
