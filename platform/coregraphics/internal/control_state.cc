#include "platform/coregraphics/internal/control_state.h"

namespace coregraphics::internal {

std::atomic<size_t>& liveDocumentCount() {
  static std::atomic<size_t> count{0};
  return count;
}

std::atomic<bool>& failNextBitmapContext() {
  static std::atomic<bool> fail{false};
  return fail;
}

}  // namespace coregraphics::internal
