// The readers the file fuzzer feeds: each takes one input's bytes, reads them as the host would
// read such a file, and tells whether it took them as a file of its kind.
#pragma once

#include <string>
#include <vector>

namespace file_fuzzer {

struct Target {
  const char* name;
  // Words of the format, for the mutator.
  std::vector<std::string> tokens;
  // Reads `bytes`; true when the reader took them as valid.
  bool (*read)(const std::string& bytes);
};

// "pdf": CoreGraphics' PDF documents (poppler): open, unlock, measure and draw every page small.
// "media": the media files of AVFoundation (FFmpeg): open, probe, decode the first frames.
// "plist": property lists, XML and binary: parse, write both formats, read them back.
const std::vector<Target>& targets();

}  // namespace file_fuzzer
