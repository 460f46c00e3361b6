// A test's control of thread starts: the next ones fail as the system fails them at its limit.
#pragma once

namespace dispatch::testing {

// The next `count` starts of the process's own threads fail with EAGAIN.
void failThreadStarts(int count);

}  // namespace dispatch::testing
