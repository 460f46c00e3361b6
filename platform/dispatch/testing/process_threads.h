// Test and benchmark measures of the process's threads: how many there are, how many besides
// the shared pool's (whose idle workers come and go on their own), and the CPU time they use.
#pragma once

namespace dispatch::testing {

// Threads of the process now; -1 when that cannot be read.
int threadCount();
// Threads beyond the shared pool's.
int threadsOutsideThePool();
// CPU time of every thread of the process but the calling (main) one, in seconds.
double otherThreadsCpuSeconds();

}  // namespace dispatch::testing
