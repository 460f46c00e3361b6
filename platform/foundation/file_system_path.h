// Text that the system can take as a file name. The system's calls end a name at its first NUL,
// so a name holding one would act on a shorter, different name: such text names no file.
#pragma once

#include <string_view>

namespace foundation {

// Not empty and free of NUL.
inline bool isFileSystemPath(std::string_view path) {
  return !path.empty() && path.find('\0') == std::string_view::npos;
}

}  // namespace foundation
