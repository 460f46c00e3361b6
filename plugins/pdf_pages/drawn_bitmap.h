// A drawn bitmap as an answer carries it: the memory the drawing worker drew into, written
// straight into the reply's frame, so that the host copies the pixels once. The worker draws the
// next bitmap into fresh memory while one is still held (DrawingRequest::freshCanvas), so what
// one holds never changes under it.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/flutter/streamed_value.h"
#include "platform/worker/shared_buffer.h"

namespace pdf_pages {

class DrawnBitmap final : public flutter::StreamedValue {
 public:
  explicit DrawnBitmap(worker::MappedBuffer pixels) : pixels_(std::move(pixels)) {}

  std::span<const uint8_t> bytes() const { return pixels_.bytes(); }

  // Written as the standard codec writes bytes: the Dart side reads a Uint8List.
  void writeTo(FlutterStandardWriter& writer) const override;
  size_t encodedSizeHint() const override { return bytes().size() + 16; }
  std::string typeName() const override { return "DrawnBitmap"; }

 private:
  worker::MappedBuffer pixels_;
};

}  // namespace pdf_pages
