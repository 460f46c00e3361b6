#include "plugins/pdf_pages/drawn_bitmap.h"

#include "platform/flutter/flutter_standard_codec.h"
#include "platform/flutter/socket_frame.h"
#include "plugins/pdf_pages/page_rendering.h"

namespace pdf_pages {

// The largest bitmap's reply fills a frame exactly: the frame's fields, the success envelope's
// byte, and the value's type byte and five-byte size before the pixels.
static_assert(flutter::kSocketFrameFixedFieldsSize + 1 + 1 + 5 == kBitmapReplyOverheadBytes);
static_assert(kMaxBitmapBytes + kBitmapReplyOverheadBytes == flutter::kMaxSocketFrameLength);

void DrawnBitmap::writeTo(FlutterStandardWriter& writer) const {
  // A bitmap is at most kMaxBitmapBytes, far below what a size field holds.
  writer.writeByte(FlutterStandardFieldUInt8Data);
  writer.writeSize(static_cast<uint32_t>(bytes().size()));
  writer.writeBytes(bytes().data(), bytes().size());
}

}  // namespace pdf_pages
