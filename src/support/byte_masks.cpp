#include "support/byte_masks.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qorla {

namespace {

ByteMasks scan_slowly(const char* data, std::size_t n) {
  ByteMasks m{0, 0};
  for (std::size_t i = 0; i < n; ++i) {
    const auto b = static_cast<unsigned char>(data[i]);
    if (b == '\n') m.line_feeds |= std::uint64_t{1} << i;
    if (b == '\r' || b == 0x1A || b == 0) m.special |= std::uint64_t{1} << i;
  }
  return m;
}

}  // namespace

ByteMasks scan_bytes(const char* data, std::size_t n) {
#if defined(__SSE2__)
  if (n == 64) {
    const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r'), sub = _mm_set1_epi8(0x1A);
    const __m128i zero = _mm_setzero_si128();
    ByteMasks m{0, 0};
    for (int k = 0; k < 4; ++k) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * k));
      const auto feeds = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf)));
      const __m128i odd = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, sub)),
                                       _mm_cmpeq_epi8(v, zero));
      const auto special = static_cast<unsigned>(_mm_movemask_epi8(odd));
      m.line_feeds |= std::uint64_t{feeds} << (16 * k);
      m.special |= std::uint64_t{special} << (16 * k);
    }
    return m;
  }
#endif
  return scan_slowly(data, n);
}

}  // namespace qorla
