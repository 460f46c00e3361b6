#include "platform/webrtc/rtc_i420_buffer.h"

#include <algorithm>

namespace {
// Frames larger than this are refused instead of allocating gigabytes.
constexpr int kMaxDimension = 16384;
int dimension(int value) { return value < 1 || value > kMaxDimension ? 0 : value; }
}  // namespace

RTCI420Buffer::RTCI420Buffer(int width, int height)
    : width_(dimension(width) == 0 || dimension(height) == 0 ? 0 : width),
      height_(width_ == 0 ? 0 : height) {
  const size_t luma = size_t(width_) * height_;
  const size_t chroma = size_t(chromaWidth()) * chromaHeight();
  bytes_.assign(luma + 2 * chroma, 0);
}

std::shared_ptr<RTCI420Buffer> RTCI420Buffer::toI420() const {
  auto copy = std::make_shared<RTCI420Buffer>(width_, height_);
  std::copy(bytes_.begin(), bytes_.end(), copy->bytes_.begin());
  return copy;
}
