// The kernel's sysctl interface: values named by a MIB (an array of integers) or by a dotted
// name. Values come from this machine (uname, /proc, /sys, sysconf); the operating-system
// version is the emulated one. Failures return -1 and set errno, as the system call does.
#pragma once

#include <cstddef>

inline constexpr int CTL_MAXNAME = 12;

inline constexpr int CTL_KERN = 1;
inline constexpr int CTL_HW = 6;

inline constexpr int KERN_OSTYPE = 1;
inline constexpr int KERN_OSRELEASE = 2;
inline constexpr int KERN_OSREV = 3;
inline constexpr int KERN_VERSION = 4;
inline constexpr int KERN_HOSTNAME = 10;
inline constexpr int KERN_OSVERSION = 65;

inline constexpr int HW_MACHINE = 1;
inline constexpr int HW_MODEL = 2;
inline constexpr int HW_CPU_FREQ = 15;
inline constexpr int HW_MEMSIZE = 24;
inline constexpr int HW_AVAILCPU = 25;

// Reads the value at `name`. With `oldp` null, stores the value's size in *oldlenp; otherwise
// copies the value when *oldlenp is large enough (ENOMEM when not) and stores its size. Values
// are read-only here: a new value fails with EPERM. An unknown MIB fails with ENOENT.
int sysctl(const int* name, unsigned namelen, void* oldp, size_t* oldlenp, const void* newp,
           size_t newlen);

// Looks up the MIB of a dotted name ("hw.memsize"). *sizep holds the room in `mibp` on entry and
// the MIB's length on return. An unknown name fails with ENOENT, too little room with ENOMEM.
int sysctlnametomib(const char* name, int* mibp, size_t* sizep);
