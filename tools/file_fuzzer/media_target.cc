// The media reader as an asset of a file URL uses it: the file opened and probed, then the first
// frames of its video and its audio decoded, the pictures converted as a player converts them. FFmpeg reads files by descriptor, so each input is
// written to a file first.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

#include "platform/avfoundation/internal/bgra_converter.h"
#include "platform/avfoundation/internal/media_file.h"
#include "platform/avfoundation/internal/stream_decoder.h"
#include "tools/file_fuzzer/targets.h"

namespace file_fuzzer {
namespace {

// The file each input is written to, in the temporary directory, removed at exit.
const std::string& inputPath() {
  static const std::string* const path = [] {
    const char* directory = std::getenv("TMPDIR");
    std::string pattern =
        std::string(directory != nullptr ? directory : "/tmp") + "/file-fuzzer-media-XXXXXX";
    int descriptor = ::mkstemp(pattern.data());
    if (descriptor >= 0) ::close(descriptor);
    std::atexit([] { ::unlink(inputPath().c_str()); });
    return new std::string(pattern);
  }();
  return *path;
}

}  // namespace

bool readMedia(const std::string& bytes) {
  constexpr int kFramesDecoded = 24;
  // FFmpeg reports every fault of a damaged stream on standard error; a fuzzer's inputs are
  // nothing but faults.
  av_log_set_level(AV_LOG_QUIET);
  {
    std::ofstream file(inputPath(), std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file) return false;
  }
  NSError error;
  auto file = avfoundation::internal::MediaFile::openFile(inputPath(), &error);
  if (!file) return false;
  // Taken when FFmpeg reads it as media, not merely as a file.
  bool taken = false;
  if (auto media = avfoundation::internal::MediaFile::open(file, &error)) {
    media->probe();
    taken = true;
  }
  for (auto kind :
       {avfoundation::internal::StreamKind::kVideo, avfoundation::internal::StreamKind::kAudio}) {
    avfoundation::internal::StreamDecoder::Options options;
    options.kind = kind;
    auto decoder = avfoundation::internal::StreamDecoder::open(file, options);
    if (!decoder) continue;
    taken = true;
    avfoundation::internal::BGRAConverter converter;
    for (int frame = 0; frame < kFramesDecoded; ++frame) {
      auto decoded = decoder->next();
      if (!decoded) break;
      if (kind == avfoundation::internal::StreamKind::kVideo) converter.convert(*decoded->frame);
    }
    decoder->seek(0.5);
    decoder->next();
  }
  return taken;
}

}  // namespace file_fuzzer
