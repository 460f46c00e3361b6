// One page of a query's rows, kept close to the bytes it is sent as: each cell is a type byte and
// its value's bytes, in chunks that are never moved, so that a page costs about its encoded size
// while it is built, and its answer at most twice that while it is encoded. The page writes
// itself into the answer as the map {"columns": [...], "rows": [[...], ...]} (with "cursorId"
// when a cursor goes on), or as the empty map when no row was read.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/flutter/streamed_value.h"

namespace litedb {

class LiteDbPage final : public flutter::StreamedValue {
 public:
  bool hasRows() const { return row_count_ > 0; }
  size_t rowCount() const { return row_count_; }

  // The page's columns, named once, before its first row.
  void setColumns(std::vector<std::string> names) { columns_ = std::move(names); }
  // Appends the current row of `statement`, whose column types are read into `types`.
  void appendRow(sqlite3_stmt* statement, const std::vector<int>& types);
  void setCursorId(int32_t cursorId) { cursor_id_ = cursorId; }

  std::string typeName() const override { return "LiteDbPage"; }
  void writeTo(FlutterStandardWriter& writer) const override;
  size_t encodedSizeHint() const override;

 private:
  void appendCell(uint8_t type, const void* bytes, size_t size);
  uint8_t* room(size_t size);

  std::vector<std::string> columns_;
  // Cells in row order; a cell never spans two chunks. Bytes past `size` are not yet written
  // (never zero-filled first: every cell is written whole as it is appended).
  struct Chunk {
    std::unique_ptr<uint8_t[]> bytes;
    size_t size = 0;
    size_t capacity = 0;
  };
  std::vector<Chunk> chunks_;
  size_t row_count_ = 0;
  size_t cell_bytes_ = 0;
  // What encoding adds to the cells: a size field longer than the cell's length (text and
  // bytes), a double's alignment.
  size_t encoding_growth_ = 0;
  std::optional<int32_t> cursor_id_;
};

}  // namespace litedb
