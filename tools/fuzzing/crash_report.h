// Reporting what a fuzzer was doing when the process dies: a sanitizer's report, or a fatal signal
// in a build without one.
#pragma once

namespace fuzzing {

// Calls `report` once when the process is about to die of a sanitizer report or a fatal signal.
// `report` runs in a dying process: it should only write out what it already holds.
void onFatalError(void (*report)());

}  // namespace fuzzing
