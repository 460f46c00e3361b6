#include "plugins/pdf_pages/pixel_order.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <cstring>

namespace pdf_pages {

static_assert(std::endian::native == std::endian::little);

// Four pixels at a time where the processor has SSE2: the pass is bound by memory then.
void copySwappingRedAndBlue(std::span<const uint8_t> from, std::span<uint8_t> to) {
  const size_t count = std::min(from.size(), to.size()) / 4;
  const uint8_t* source = from.data();
  uint8_t* target = to.data();
  size_t done = 0;
#if defined(__SSE2__)
  const __m128i keep = _mm_set1_epi32(static_cast<int>(0xFF00FF00u));
  const __m128i low = _mm_set1_epi32(0xFF);
  for (; done + 4 <= count; done += 4) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + done * 4));
    __m128i swapped = _mm_or_si128(_mm_and_si128(v, keep),
                                   _mm_or_si128(_mm_and_si128(_mm_srli_epi32(v, 16), low),
                                                _mm_slli_epi32(_mm_and_si128(v, low), 16)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target + done * 4), swapped);
  }
#endif
  for (; done < count; ++done) {
    uint32_t pixel;
    std::memcpy(&pixel, source + done * 4, 4);
    pixel = (pixel & 0xFF00FF00u) | ((pixel >> 16) & 0xFFu) | ((pixel & 0xFFu) << 16);
    std::memcpy(target + done * 4, &pixel, 4);
  }
}

}  // namespace pdf_pages
