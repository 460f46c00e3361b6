// Test controls that ask the media library's settings directly what they allow.
#pragma once

#include <string>

namespace avfoundation::testing {

// Whether a format context set up as media files' are lets a demuxer open `url` beside its file
// (a nested open), and whether such a context opens `url` by name.
bool nestedOpenAllowed(const std::string& url);
bool openByNameAllowed(const std::string& url);

}  // namespace avfoundation::testing
