#include "plugins/pdf_pages/drawn_bitmap.h"

#include "platform/flutter/flutter_standard_codec.h"

namespace pdf_pages {

void DrawnBitmap::writeTo(FlutterStandardWriter& writer) const {
  // A bitmap is at most kMaxBitmapBytes, far below what a size field holds.
  writer.writeByte(FlutterStandardFieldUInt8Data);
  writer.writeSize(static_cast<uint32_t>(bytes().size()));
  writer.writeBytes(bytes().data(), bytes().size());
}

}  // namespace pdf_pages
