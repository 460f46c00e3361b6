// The system log: one line per call, written to standard error. A write never ends the process
// and holds its caller at most 100 ms (a reader that stops reading); a line that cannot be
// written is dropped, and the next line written counts the lines dropped.
#pragma once

__attribute__((format(printf, 1, 2))) void NSLog(const char* format, ...);
