// The state behind the test controls (testing/coregraphics_controls.h). Process-wide, like the
// diagnostics it serves.
#pragma once

#include <atomic>
#include <cstddef>

namespace coregraphics::internal {

// PDF documents alive now.
std::atomic<size_t>& liveDocumentCount();
// Set: the next bitmap context creation fails, as it does when memory runs out.
std::atomic<bool>& failNextBitmapContext();

}  // namespace coregraphics::internal
