#include "platform/avfoundation/internal/media_backing.h"

#include <atomic>

namespace avfoundation::internal {
namespace {

std::atomic<MediaBacking> g_backing{MediaBacking::library};

}  // namespace

MediaBacking currentMediaBacking() { return g_backing.load(std::memory_order_acquire); }

void setMediaBacking(MediaBacking backing) { g_backing.store(backing, std::memory_order_release); }

}  // namespace avfoundation::internal
