// Test controls for the CoreGraphics stand-in.
#pragma once

#include <cstddef>

namespace coregraphics::testing {

// PDF documents alive now, to see that their owners release them.
size_t liveDocumentCount();
// The next CGBitmapContextCreate answers null, as it does when memory runs out.
void failNextBitmapContextCreation();

}  // namespace coregraphics::testing
