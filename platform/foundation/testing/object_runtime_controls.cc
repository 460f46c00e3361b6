#include "platform/foundation/testing/object_runtime_controls.h"

#include "platform/foundation/object_census.h"

namespace foundation::testing {

int64_t liveObjectCount() { return census::liveObjects(); }

}  // namespace foundation::testing
