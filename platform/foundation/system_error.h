// What an errno from a file operation says, decided once for every store.
//
// No errno is a verdict on a file's data. A limit reached (descriptors, disk space, quota, file
// size, memory), a permission missing, an interrupted call or a failing device all mean "not
// now": the caller answers an error, changes nothing and logs the cause. Only a file that was read
// whole and is not what it should be is bad data, and that is the reader's verdict, never the
// system's.
#pragma once

#include <string>

namespace foundation {

enum class SystemErrorClass {
  kAbsent,      // nothing at the path: ENOENT, ENOTDIR
  kNotAFile,    // the path names a directory, device, socket or link: EISDIR, ENXIO, ENODEV, ELOOP
  kLimit,       // a resource ran out: EMFILE, ENFILE, ENOSPC, EDQUOT, EFBIG, ENOMEM, ENOBUFS
  kPermission,  // EACCES, EPERM, EROFS
  kRetry,       // EINTR, EAGAIN, EWOULDBLOCK, EBUSY, ETXTBSY
  kIo,          // EIO and everything else
};

SystemErrorClass classifySystemError(int error);

// Whether the error says "try later, or report": every class but kAbsent and kNotAFile.
bool isNotNow(int error);

// The system's text with the errno's name, such as "Too many open files (EMFILE)", for log lines
// and error messages. 0 reads "unknown cause".
std::string describeSystemError(int error);

}  // namespace foundation
