#include "platform/coregraphics/testing/coregraphics_controls.h"

#include "platform/coregraphics/internal/control_state.h"

namespace coregraphics::testing {

size_t liveDocumentCount() { return internal::liveDocumentCount().load(); }

void failNextBitmapContextCreation() { internal::failNextBitmapContext().store(true); }

}  // namespace coregraphics::testing
