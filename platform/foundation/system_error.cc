#include "platform/foundation/system_error.h"

#include <string.h>

#include <cerrno>

namespace foundation {

SystemErrorClass classifySystemError(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return SystemErrorClass::kAbsent;
    case EISDIR:
    case ENXIO:
    case ENODEV:
    case ELOOP:
      return SystemErrorClass::kNotAFile;
    case EMFILE:
    case ENFILE:
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
    case ENOMEM:
    case ENOBUFS:
      return SystemErrorClass::kLimit;
    case EACCES:
    case EPERM:
    case EROFS:
      return SystemErrorClass::kPermission;
    case EINTR:
    case EAGAIN:
    case EBUSY:
    case ETXTBSY:
      return SystemErrorClass::kRetry;
    default:
      return SystemErrorClass::kIo;
  }
}

bool isNotNow(int error) {
  SystemErrorClass kind = classifySystemError(error);
  return kind != SystemErrorClass::kAbsent && kind != SystemErrorClass::kNotAFile;
}

std::string describeSystemError(int error) {
  if (error == 0) return "unknown cause";
  const char* name = strerrorname_np(error);
  std::string text = strerrordesc_np(error) != nullptr ? strerrordesc_np(error) : "system error";
  return text + " (" + (name != nullptr ? name : std::to_string(error)) + ")";
}

}  // namespace foundation
