#include "platform/avfoundation/internal/png_chunks.h"

#include <array>
#include <cstring>
#include <string_view>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace avfoundation::internal {
namespace {

constexpr std::array<uint8_t, 8> kSignature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
constexpr size_t kChunkOverhead = 12;  // length, type, CRC
constexpr uint32_t kLongestChunk = 0x7fffffff;

// Ancillary chunks that are kept: transparency, pixel shape, significant bits, colour (each a
// few bytes) and the animation's control and frame data. Everything else ancillary goes.
constexpr std::array<std::string_view, 10> kKeptAncillary{
    "tRNS", "pHYs", "sBIT", "gAMA", "cHRM", "sRGB", "cICP", "acTL", "fcTL", "fdAT"};

uint32_t bigEndian32(const uint8_t* bytes) {
  return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
}

bool isLetter(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool isKept(std::string_view type) {
  bool critical = type[0] >= 'A' && type[0] <= 'Z';
  if (critical) return true;
  for (std::string_view kept : kKeptAncillary) {
    if (type == kept) return true;
  }
  return false;
}

// One walk of the chunk list after the optional signature, handing each chunk to `visit` with
// whether it is kept. A list that does not walk to its end is malformed; what trails IEND is
// dropped.
struct ChunkWalk {
  size_t start = 0;  // past the signature, if any
  bool malformed = false;
  bool drops = false;
};

template <typename Visit>
ChunkWalk walkChunks(std::span<const uint8_t> data, Visit&& visit) {
  ChunkWalk walk;
  if (data.size() >= kSignature.size() &&
      std::memcmp(data.data(), kSignature.data(), kSignature.size()) == 0) {
    walk.start = kSignature.size();
  }
  size_t at = walk.start;
  size_t chunks = 0;
  while (at < data.size()) {
    size_t left = data.size() - at;
    if (left < kChunkOverhead) break;
    uint32_t length = bigEndian32(data.data() + at);
    const uint8_t* type = data.data() + at + 4;
    if (length > kLongestChunk || length > left - kChunkOverhead ||
        !(isLetter(type[0]) && isLetter(type[1]) && isLetter(type[2]) && isLetter(type[3]))) {
      break;
    }
    std::string_view name(reinterpret_cast<const char*>(type), 4);
    size_t whole = kChunkOverhead + length;
    ++chunks;
    bool kept = isKept(name);
    walk.drops = walk.drops || !kept;
    visit(at, whole, kept);
    at += whole;
    if (name == "IEND") {
      walk.drops = walk.drops || at < data.size();  // what trails the picture is not read
      at = data.size();
    }
  }
  walk.malformed = at != data.size() || chunks == 0;
  return walk;
}

}  // namespace

std::optional<std::vector<uint8_t>> withoutDroppedPngChunks(std::span<const uint8_t> data,
                                                             bool* malformed) {
  // Most packets drop nothing: the first walk only looks, and only a packet with something to
  // drop is walked again and copied.
  ChunkWalk walk = walkChunks(data, [](size_t, size_t, bool) {});
  *malformed = walk.malformed;
  if (walk.malformed) return std::vector<uint8_t>{};
  if (!walk.drops) return std::nullopt;
  std::vector<uint8_t> kept;
  kept.reserve(data.size());
  kept.insert(kept.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(walk.start));
  walkChunks(data, [&](size_t at, size_t whole, bool keep) {
    if (!keep) return;
    kept.insert(kept.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                data.begin() + static_cast<std::ptrdiff_t>(at + whole));
  });
  return kept;
}

bool filterPngPacket(AVPacket& packet) {
  bool malformed = false;
  auto kept = withoutDroppedPngChunks(
      std::span<const uint8_t>(packet.data, static_cast<size_t>(std::max(packet.size, 0))),
      &malformed);
  if (malformed) return false;
  if (kept) {
    AVBufferRef* buffer = av_buffer_alloc(kept->size() + AV_INPUT_BUFFER_PADDING_SIZE);
    if (buffer == nullptr) return false;
    std::memcpy(buffer->data, kept->data(), kept->size());
    std::memset(buffer->data + kept->size(), 0, AV_INPUT_BUFFER_PADDING_SIZE);
    av_buffer_unref(&packet.buf);
    packet.buf = buffer;
    packet.data = buffer->data;
    packet.size = static_cast<int>(kept->size());
  }
  // A header that changes with this frame is walked as its first one was.
  size_t header_size = 0;
  uint8_t* header = av_packet_get_side_data(&packet, AV_PKT_DATA_NEW_EXTRADATA, &header_size);
  if (header == nullptr) return true;
  auto header_kept = withoutDroppedPngChunks(std::span<const uint8_t>(header, header_size), &malformed);
  if (malformed) return false;
  if (header_kept) {
    std::memcpy(header, header_kept->data(), header_kept->size());
    av_packet_shrink_side_data(&packet, AV_PKT_DATA_NEW_EXTRADATA, header_kept->size());
  }
  return true;
}

bool filterPngExtradata(AVCodecContext& context) {
  if (context.extradata == nullptr || context.extradata_size <= 0) return true;
  bool malformed = false;
  auto kept = withoutDroppedPngChunks(
      std::span<const uint8_t>(context.extradata, static_cast<size_t>(context.extradata_size)),
      &malformed);
  if (malformed) {
    // Matroska and AVI give a paletted still picture its bitmap header's palette as extra data,
    // which is no chunk list and which the still-picture decoder does not read (the picture has
    // its own palette): only an animation's header chunks must walk.
    if (context.codec_id != AV_CODEC_ID_PNG) return false;
    av_freep(&context.extradata);
    context.extradata_size = 0;
    return true;
  }
  if (kept) {
    std::memcpy(context.extradata, kept->data(), kept->size());
    std::memset(context.extradata + kept->size(), 0,
                static_cast<size_t>(context.extradata_size) - kept->size());
    context.extradata_size = static_cast<int>(kept->size());
  }
  return true;
}

}  // namespace avfoundation::internal
