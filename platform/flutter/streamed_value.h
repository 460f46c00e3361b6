// A value that writes itself into the message, from data its plug-in keeps in a form of its own
// (a page of rows as they were read, a page's message body as it was posted), so that a large
// value reaches the codec without first being copied into Values. The standard writer calls
// writeTo where the value stands; what it writes must be one value in the standard encoding,
// written through the writer (its writeValue for anything a plug-in codec adds, such as objects).
//
// It is immutable and may be written more than once, on any thread its data allows.
#pragma once

#include "platform/flutter/value.h"

class FlutterStandardWriter;

namespace flutter {

class StreamedValue : public CustomValue {
 public:
  virtual void writeTo(FlutterStandardWriter& writer) const = 0;
  // At least the bytes writeTo writes, so that the message's buffer is made large enough at once.
  virtual size_t encodedSizeHint() const = 0;
};

}  // namespace flutter
