// cairo keeps a pixel as a native-endian 32-bit ARGB word: B, G, R, A in memory on this
// little-endian machine. The plug-in answers R, G, B, A.
#pragma once

#include <cstdint>
#include <span>

namespace pdf_pages {

// Copies the 4-byte pixels of `from` into `to` (of the same size, or the same bytes), the first
// and third byte of each exchanged.
void copySwappingRedAndBlue(std::span<const uint8_t> from, std::span<uint8_t> to);

}  // namespace pdf_pages
