#include "platform/avfoundation/av_media_backing.h"

#include <atomic>

namespace {

std::atomic<AVMediaBacking> g_backing{AVMediaBacking::library};

}  // namespace

AVMediaBacking currentMediaBacking() { return g_backing.load(std::memory_order_acquire); }

namespace avfoundation::internal {

void setMediaBacking(AVMediaBacking backing) {
  g_backing.store(backing, std::memory_order_release);
}

}  // namespace avfoundation::internal
