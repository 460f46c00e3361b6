// Puts new content at a path so that the old item there is replaced in one step: the content is
// first written (or copied) beside the target, flushed, then renamed over it. When anything fails
// the old item stays as it was and nothing is left behind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace file_export {

// The most one copy reads: a file, or all the files of a folder together.
inline constexpr uint64_t kMaxCopyBytes = uint64_t{16} << 30;

bool replaceWithBytes(const std::string& targetPath, const std::vector<uint8_t>& bytes);
// Copies a regular file, or a folder of regular files, folders and symbolic links (the links
// copied as links). Anything else (a FIFO, a device, a socket), or more than kMaxCopyBytes, fails
// the copy; nothing is opened in a way that waits. Copying an item onto itself keeps it.
bool replaceWithCopy(const std::string& sourcePath, const std::string& targetPath);

}  // namespace file_export
