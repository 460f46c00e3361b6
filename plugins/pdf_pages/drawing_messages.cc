#include "plugins/pdf_pages/drawing_messages.h"

#include <cmath>

#include "platform/worker/message_codec.h"

namespace pdf_pages {
namespace {

using worker::MessageReader;
using worker::MessageWriter;

// A reply's status and its error count.
constexpr size_t kReplyHeadBytes = 1 + 8;

// A page of a reading: its number and two sizes.
constexpr size_t kMeasuredPageBytes = 4 + 2 * 8;

// What a page measures: a size, never infinite, NaN or negative.
bool plausibleSide(double points) { return std::isfinite(points) && points >= 0; }

// Only what a drawing may be asked for: the plug-in's own limits.
bool plausible(const DrawingRequest& request) {
  if (request.kind != DrawingRequest::Kind::draw) return true;
  const Tile& tile = request.tile;
  return checkedBitmapSize(static_cast<int64_t>(request.size.width),
                           static_cast<int64_t>(request.size.height))
             .has_value() &&
         request.pageNumber >= 1 && std::isfinite(tile.scale) && std::isfinite(tile.x) &&
         std::isfinite(tile.y) && std::isfinite(tile.height);
}

}  // namespace

std::vector<uint8_t> encodeRequest(const DrawingRequest& request,
                                   const std::vector<uint8_t>* document) {
  // The document's bytes are copied once, with room for the fields after them.
  std::vector<uint8_t> start;
  if (document != nullptr) {
    start.reserve(document->size() + 128);
    start.assign(document->begin(), document->end());
  }
  MessageWriter out(std::move(start));
  const size_t fields_start = out.size();
  out.byte(static_cast<uint8_t>(request.kind));
  out.u64(request.documentKey);
  out.byte(document != nullptr);
  out.u64(fields_start);
  out.byte(request.password.has_value());
  out.string(request.password.value_or(""));
  out.u32(request.pageNumber);
  out.byte(request.isTile);
  out.f64(request.tile.scale);
  out.f64(request.tile.x);
  out.f64(request.tile.y);
  out.f64(request.tile.height);
  out.u64(request.size.width);
  out.u64(request.size.height);
  out.byte(request.freshCanvas);
  out.u64(request.errorsCounted);
  out.u32(static_cast<uint32_t>(out.size() - fields_start));
  return out.take();
}

std::optional<ReceivedRequest> decodeRequest(std::vector<uint8_t> message) {
  constexpr size_t kFieldsSizeBytes = 4;
  if (message.size() < kFieldsSizeBytes) return std::nullopt;
  const size_t end = message.size() - kFieldsSizeBytes;
  const uint32_t fields_size = MessageReader(std::span<const uint8_t>(message).subspan(end)).u32();
  if (fields_size > end) return std::nullopt;
  const size_t fields_start = end - fields_size;

  MessageReader in(std::span<const uint8_t>(message).subspan(fields_start, fields_size));
  ReceivedRequest received;
  DrawingRequest& request = received.request;
  const uint8_t kind = in.byte();
  request.documentKey = in.u64();
  const uint8_t carries_document = in.byte();
  const uint64_t document_bytes = in.u64();
  const uint8_t has_password = in.byte();
  std::string password = in.string();
  request.pageNumber = in.u32();
  const uint8_t is_tile = in.byte();
  request.tile.scale = in.f64();
  request.tile.x = in.f64();
  request.tile.y = in.f64();
  request.tile.height = in.f64();
  const uint64_t width = in.u64();
  const uint64_t height = in.u64();
  const uint8_t fresh_canvas = in.byte();
  request.errorsCounted = in.u64();
  if (!in.atEnd()) return std::nullopt;
  if (kind < static_cast<uint8_t>(DrawingRequest::Kind::draw) ||
      kind > static_cast<uint8_t>(DrawingRequest::Kind::read)) {
    return std::nullopt;
  }
  if (document_bytes != fields_start || (carries_document == 0 && fields_start != 0) ||
      (kind == static_cast<uint8_t>(DrawingRequest::Kind::read) && carries_document == 0)) {
    return std::nullopt;
  }
  request.kind = static_cast<DrawingRequest::Kind>(kind);
  if (has_password != 0) request.password = std::move(password);
  request.isTile = is_tile != 0;
  request.freshCanvas = fresh_canvas != 0;
  request.size = BitmapSize{static_cast<size_t>(width), static_cast<size_t>(height)};
  if (!plausible(request)) return std::nullopt;
  if (carries_document != 0) {
    message.resize(fields_start);
    received.document = std::move(message);
  }
  return received;
}

std::vector<uint8_t> encodeStatus(DrawingStatus status, uint64_t errorsCounted) {
  MessageWriter out;
  out.byte(static_cast<uint8_t>(status));
  out.u64(errorsCounted);
  return out.take();
}

std::optional<DrawingStatus> decodeStatus(const std::vector<uint8_t>& message) {
  if (message.size() < kReplyHeadBytes ||
      message[0] > static_cast<uint8_t>(DrawingStatus::unlockFailed)) {
    return std::nullopt;
  }
  const auto status = static_cast<DrawingStatus>(message[0]);
  if (status != DrawingStatus::read && message.size() != kReplyHeadBytes) return std::nullopt;
  return status;
}

uint64_t decodeErrorCount(const std::vector<uint8_t>& message) {
  MessageReader in(message);
  in.byte();
  const uint64_t count = in.u64();
  return in.ok() ? count : 0;
}

std::vector<uint8_t> encodeReading(const std::vector<MeasuredPage>& pages,
                                   uint64_t errorsCounted) {
  MessageWriter out;
  out.reserve(kReplyHeadBytes + 4 + pages.size() * kMeasuredPageBytes);
  out.byte(static_cast<uint8_t>(DrawingStatus::read));
  out.u64(errorsCounted);
  out.u32(static_cast<uint32_t>(pages.size()));
  for (const MeasuredPage& page : pages) {
    out.u32(page.number);
    out.f64(page.width);
    out.f64(page.height);
  }
  return out.take();
}

std::optional<std::vector<MeasuredPage>> decodeReading(const std::vector<uint8_t>& message) {
  MessageReader in(message);
  const uint8_t status = in.byte();
  in.u64();  // the error count
  const uint32_t count = in.count(kMeasuredPageBytes);
  if (!in.ok() || status != static_cast<uint8_t>(DrawingStatus::read) ||
      in.remaining() != size_t{count} * kMeasuredPageBytes) {
    return std::nullopt;
  }
  std::vector<MeasuredPage> pages(count);
  uint32_t previous = 0;
  for (MeasuredPage& page : pages) {
    page.number = in.u32();
    page.width = in.f64();
    page.height = in.f64();
    if (page.number <= previous || !plausibleSide(page.width) || !plausibleSide(page.height)) {
      return std::nullopt;
    }
    previous = page.number;
  }
  return pages;
}

}  // namespace pdf_pages
