#include "platform/avfoundation/testing/media_library_controls.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

#include <limits>

#include "platform/avfoundation/internal/ffmpeg_settings.h"

namespace avfoundation::testing {

bool nestedOpenAllowed(const std::string& url) {
  AVFormatContext* format = avformat_alloc_context();
  if (format == nullptr) return false;
  internal::restrictFormatContext(*format);
  AVIOContext* io = nullptr;
  bool opened = format->io_open(format, &io, url.c_str(), AVIO_FLAG_READ, nullptr) >= 0;
  if (io != nullptr) avio_closep(&io);
  avformat_free_context(format);
  return opened;
}

bool openByNameAllowed(const std::string& url) {
  AVFormatContext* format = avformat_alloc_context();
  if (format == nullptr) return false;
  internal::restrictFormatContext(*format);
  // On failure the context is freed.
  if (avformat_open_input(&format, url.c_str(), nullptr, nullptr) < 0) return false;
  avformat_close_input(&format);
  return true;
}

void limitMediaLibraryAllocation(std::optional<size_t> bytes) {
  av_max_alloc(bytes.value_or(std::numeric_limits<int>::max()));
}

}  // namespace avfoundation::testing
