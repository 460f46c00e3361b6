// Reading a page's file from inside the folder a load may read. The folder is opened once and the
// file opened beneath it, without following a link (or "..") out of it, and then checked and read
// on that one descriptor: a file swapped for a link to elsewhere between a check and the read is
// never read. It runs on a pool thread: a file system may take long to answer.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace webkit {

enum class PageFileError {
  kNotFound,       // nothing at the path
  kOutsideFolder,  // the path, or a link on it, leads out of the folder
  kDirectory,
  kNotRegular,  // a FIFO, device or socket
  kTooLarge,    // more than the limit
  kUnreadable,  // permission denied, an I/O error, or a read that would block
};

// `file` and `folder` are absolute paths. A folder that is a file lets that one file be read.
std::variant<std::vector<uint8_t>, PageFileError> readPageFile(const std::string& file,
                                                               const std::string& folder,
                                                               uint64_t maxBytes);

}  // namespace webkit
