// What of a PNG or APNG picture reaches FFmpeg's decoder: its critical chunks and the few small
// ancillary ones a picture's pixels, timing or shape need. FFmpeg inflates text, compressed text,
// international text and colour profile chunks of every frame without bound before the picture,
// and the host shows none of them, so they never reach it. A chunk list that does not walk (a
// length past the end, a type that is not four letters) is no picture at all.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

struct AVPacket;
struct AVCodecContext;

namespace avfoundation::internal {

// The bytes of `data` (an 8-byte signature, optional, then chunks) without the chunks the host
// drops: nullopt when nothing is dropped, an empty vector when the chunk list is malformed.
std::optional<std::vector<uint8_t>> withoutDroppedPngChunks(std::span<const uint8_t> data,
                                                             bool* malformed);

// Filters a packet for a PNG or APNG decoder (its picture and any new header it carries); false,
// with the packet unusable, when its chunk list is malformed.
bool filterPngPacket(AVPacket& packet);
// Filters the header chunks an APNG decoder gets before its first frame; false when malformed.
// A PNG decoder's extra data that is no chunk list (a container's palette) is dropped.
bool filterPngExtradata(AVCodecContext& context);

}  // namespace avfoundation::internal
