#include "platform/webkit/testing/object_runtime_controls.h"

#include "platform/webkit/object_runtime_census.h"

namespace webkit::testing {

int64_t liveObjectCount() { return census::liveObjects(); }

}  // namespace webkit::testing
