// Test controls that ask the media library's settings directly what they allow.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace avfoundation::testing {

// Whether a format context set up as media files' are lets a demuxer open `url` beside its file
// (a nested open), and whether such a context opens `url` by name.
bool nestedOpenAllowed(const std::string& url);
bool openByNameAllowed(const std::string& url);
// The most the media library allocates at once (nullopt: no limit), for tests of its decoders
// running out of memory in a file that names the platform's own media types.
void limitMediaLibraryAllocation(std::optional<size_t> bytes);

}  // namespace avfoundation::testing
