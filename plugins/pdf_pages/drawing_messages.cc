#include "plugins/pdf_pages/drawing_messages.h"

#include <cmath>
#include <cstring>

namespace pdf_pages {
namespace {

class Writer {
 public:
  explicit Writer(std::vector<uint8_t>& out) : out_(out) {}
  template <typename T>
  void put(T value) {
    uint8_t bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out_.insert(out_.end(), bytes, bytes + sizeof(T));
  }
  void text(const std::string& value) {
    put(static_cast<uint32_t>(value.size()));
    out_.insert(out_.end(), value.begin(), value.end());
  }

 private:
  std::vector<uint8_t>& out_;
};

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  template <typename T>
  bool get(T& value) {
    if (size_ - at_ < sizeof(T)) return false;
    std::memcpy(&value, data_ + at_, sizeof(T));
    at_ += sizeof(T);
    return true;
  }
  bool text(std::string& value) {
    uint32_t length = 0;
    if (!get(length) || size_ - at_ < length) return false;
    value.assign(reinterpret_cast<const char*>(data_ + at_), length);
    at_ += length;
    return true;
  }
  bool atEnd() const { return at_ == size_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// A page of a reading: its number and two sizes.
constexpr size_t kMeasuredPageBytes = sizeof(uint32_t) + 2 * sizeof(double);

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
  std::vector<uint8_t> message;
  if (document != nullptr) {
    message.reserve(document->size() + 128);
    message = *document;
  }
  const size_t fields_start = message.size();
  Writer out(message);
  out.put(static_cast<uint8_t>(request.kind));
  out.put(request.documentKey);
  out.put(static_cast<uint8_t>(document != nullptr));
  out.put(static_cast<uint64_t>(fields_start));
  out.put(static_cast<uint8_t>(request.password.has_value()));
  out.text(request.password.value_or(""));
  out.put(request.pageNumber);
  out.put(static_cast<uint8_t>(request.isTile));
  out.put(request.tile.scale);
  out.put(request.tile.x);
  out.put(request.tile.y);
  out.put(request.tile.height);
  out.put(static_cast<uint64_t>(request.size.width));
  out.put(static_cast<uint64_t>(request.size.height));
  out.put(static_cast<uint8_t>(request.freshCanvas));
  out.put(static_cast<uint32_t>(message.size() - fields_start));
  return message;
}

std::optional<ReceivedRequest> decodeRequest(std::vector<uint8_t> message) {
  uint32_t fields_size = 0;
  if (message.size() < sizeof fields_size) return std::nullopt;
  std::memcpy(&fields_size, message.data() + message.size() - sizeof fields_size,
              sizeof fields_size);
  const size_t end = message.size() - sizeof fields_size;
  if (fields_size > end) return std::nullopt;
  const size_t fields_start = end - fields_size;

  Reader in(message.data() + fields_start, fields_size);
  ReceivedRequest received;
  DrawingRequest& request = received.request;
  uint8_t kind = 0, carries_document = 0, has_password = 0, is_tile = 0, fresh_canvas = 0;
  uint64_t document_bytes = 0, width = 0, height = 0;
  std::string password;
  if (!in.get(kind) || !in.get(request.documentKey) || !in.get(carries_document) ||
      !in.get(document_bytes) || !in.get(has_password) || !in.text(password) ||
      !in.get(request.pageNumber) || !in.get(is_tile) || !in.get(request.tile.scale) ||
      !in.get(request.tile.x) || !in.get(request.tile.y) || !in.get(request.tile.height) ||
      !in.get(width) || !in.get(height) || !in.get(fresh_canvas) || !in.atEnd()) {
    return std::nullopt;
  }
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

std::vector<uint8_t> encodeStatus(DrawingStatus status) { return {static_cast<uint8_t>(status)}; }

std::optional<DrawingStatus> decodeStatus(const std::vector<uint8_t>& message) {
  if (message.empty() || message[0] > static_cast<uint8_t>(DrawingStatus::unlockFailed)) {
    return std::nullopt;
  }
  const auto status = static_cast<DrawingStatus>(message[0]);
  if (status != DrawingStatus::read && message.size() != 1) return std::nullopt;
  return status;
}

std::vector<uint8_t> encodeReading(const std::vector<MeasuredPage>& pages) {
  std::vector<uint8_t> message;
  message.reserve(1 + sizeof(uint32_t) + pages.size() * kMeasuredPageBytes);
  Writer out(message);
  out.put(static_cast<uint8_t>(DrawingStatus::read));
  out.put(static_cast<uint32_t>(pages.size()));
  for (const MeasuredPage& page : pages) {
    out.put(page.number);
    out.put(page.width);
    out.put(page.height);
  }
  return message;
}

std::optional<std::vector<MeasuredPage>> decodeReading(const std::vector<uint8_t>& message) {
  Reader in(message.data(), message.size());
  uint8_t status = 0;
  uint32_t count = 0;
  if (!in.get(status) || status != static_cast<uint8_t>(DrawingStatus::read) || !in.get(count) ||
      message.size() - sizeof status - sizeof count != size_t{count} * kMeasuredPageBytes) {
    return std::nullopt;
  }
  std::vector<MeasuredPage> pages(count);
  uint32_t previous = 0;
  for (MeasuredPage& page : pages) {
    if (!in.get(page.number) || !in.get(page.width) || !in.get(page.height) ||
        page.number <= previous) {
      return std::nullopt;
    }
    previous = page.number;
  }
  return pages;
}

}  // namespace pdf_pages
