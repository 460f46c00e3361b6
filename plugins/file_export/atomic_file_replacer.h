// Puts new content at a path so that the old item there is replaced in one step: the content is
// first written (or copied) beside the target, flushed, then renamed over it. When anything fails
// the old item stays as it was and nothing is left behind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace file_export {

bool replaceWithBytes(const std::string& targetPath, const std::vector<uint8_t>& bytes);
// Copies a file or a directory tree. Copying an item onto itself keeps it.
bool replaceWithCopy(const std::string& sourcePath, const std::string& targetPath);

}  // namespace file_export
