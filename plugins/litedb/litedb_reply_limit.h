// The most one answer can carry. A reply travels to an out-of-process Dart side in one frame of
// the socket transport, so a page of rows (or a batch of pages) larger than a frame can never be
// sent: it is refused as soon as it passes the limit, before the rest is built.
#pragma once

#include <cstddef>

#include "platform/flutter/socket_connection.h"
#include "platform/flutter/socket_frame.h"

namespace litedb {

// The frame less its own fields and the success envelope's first byte, in the standard codec's
// bytes.
inline constexpr size_t kMaxReplyBytes =
    flutter::kMaxSocketFrameLength - flutter::kSocketFrameFixedFieldsSize - 1;
inline constexpr const char* kReplyTooLargeCode = flutter::kSocketReplyTooLargeCode;

// What is left of one answer's bytes for the rows it carries.
struct LiteDbReplyBudget {
  size_t bytesLeft = kMaxReplyBytes;
  // Set once a page did not fit: the answer is then the reply_too_large error.
  bool exceeded = false;
};

}  // namespace litedb
