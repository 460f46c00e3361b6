// The host's media clock: seconds on a monotonic time line, as display links and video outputs
// count time.
#pragma once

using CFTimeInterval = double;

// Seconds since an arbitrary fixed moment (the machine's monotonic clock).
CFTimeInterval CACurrentMediaTime();
