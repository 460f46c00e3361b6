// Prints every video frame of a media file as the host's one decode loop makes it (FFmpeg's
// decoder, then its scaler to tightly packed 32-bit BGRA of the same size), one line per frame in
// presentation order:
//
//   <time on the container's time line, in seconds> <width> <height> <SHA-256 of the BGRA bytes, hex>
//
// The reference the end-to-end tests compare a texture's frames with: it shares the decoding with
// the players and none of their following, pacing or handing out. Exit status 1, with a message,
// for a file it cannot decode.
#include <openssl/evp.h>

#include <cstdio>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
}

#include "platform/avfoundation/internal/bgra_converter.h"
#include "platform/avfoundation/internal/stream_decoder.h"

namespace {

using avfoundation::internal::BGRAConverter;
using avfoundation::internal::StreamDecoder;
using avfoundation::internal::StreamKind;

std::string sha256Hex(const std::vector<uint8_t>& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
  std::string hex;
  char pair[3];
  for (unsigned int i = 0; i < length; ++i) {
    std::snprintf(pair, sizeof pair, "%02x", digest[i]);
    hex += pair;
  }
  return hex;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <media file>\n", argv[0]);
    return 2;
  }
  auto decoder = StreamDecoder::open(argv[1], {StreamKind::kVideo, nullptr, 0});
  if (!decoder) {
    std::fprintf(stderr, "%s: no decodable video stream\n", argv[1]);
    return 1;
  }
  BGRAConverter converter;
  std::vector<uint8_t> pixels;
  while (auto decoded = decoder->next()) {
    if (!converter.convert(*decoded->frame, &pixels)) {
      std::fprintf(stderr, "%s: a frame could not be converted\n", argv[1]);
      return 1;
    }
    std::printf("%.6f %d %d %s\n", CMTimeGetSeconds(decoded->time), decoded->frame->width,
                decoded->frame->height, sha256Hex(pixels).c_str());
  }
  return 0;
}
