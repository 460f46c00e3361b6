// The system log: one line per call, written to standard error.
#pragma once

__attribute__((format(printf, 1, 2))) void NSLog(const char* format, ...);
