#include "order/field_locator.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qorla {

namespace {

enum ByteClass : unsigned char { kField = 0, kSeparator = 1, kLineEnd = 2 };

// kByteClass[separator][byte], for every value of field_separator, so the
// walk costs one load per byte. The line end wins over the separator: the
// line ends at its first line feed even when that is the separator.
constexpr auto kByteClass = [] {
  std::array<std::array<unsigned char, 256>, 256> table{};
  for (int sep = 0; sep < 256; ++sep) {
    for (int b = 0; b < 256; ++b) {
      const auto s = static_cast<unsigned char>(sep), c = static_cast<unsigned char>(b);
      table[sep][b] = (b == '\n' || b == 0) ? kLineEnd : separates(s, c) ? kSeparator : kField;
    }
  }
  return table;
}();

struct Walk {
  const unsigned char* cls;  // the row of kByteClass for the separator in use
  const unsigned char* p;

  unsigned char at() const { return cls[*p]; }
  void over(unsigned char c) {
    while (cls[*p] == c) ++p;
  }
  // Moves at most n bytes forward, stopping at the end of the field.
  void in_field(int n) {
    for (; n > 0 && cls[*p] == kField; --n) ++p;
  }
};

// One bit a byte for 64 bytes of a line: where fields separate, and where
// a line feed ends the line.
struct FieldMasks {
  std::uint64_t separators;
  std::uint64_t line_feeds;
};

FieldMasks field_masks(const char* data, std::size_t n, unsigned char sep) {
#if defined(__SSE2__)
  if (n == 64) {
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i a = _mm_set1_epi8(static_cast<char>(sep == 0 ? ' ' : sep));
    const __m128i b = _mm_set1_epi8(static_cast<char>(sep == 0 ? '\t' : sep));
    FieldMasks m{0, 0};
    for (int k = 0; k < 4; ++k) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * k));
      const __m128i s = _mm_or_si128(_mm_cmpeq_epi8(v, a), _mm_cmpeq_epi8(v, b));
      m.separators |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(s))} << (16 * k);
      m.line_feeds |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf)))} << (16 * k);
    }
    return m;
  }
#endif
  FieldMasks m{0, 0};
  for (std::size_t i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(data[i]);
    if (separates(sep, c)) m.separators |= std::uint64_t{1} << i;
    if (c == '\n') m.line_feeds |= std::uint64_t{1} << i;
  }
  return m;
}

// The field bytes of the 64 at line[at]: neither separators nor at or past
// the line's end; *ended is set when the line ends in this window. A
// window past the end of the line is looked at in a copy.
std::uint64_t field_bytes(std::string_view line, std::size_t at, bool* ended) {
  const std::size_t n = line.size() - at < 64 ? line.size() - at : 64;
  const char* data = line.data() + at;
  char copy[64];
  if (n < 64) {
    std::memcpy(copy, data, n);
    data = copy;
  }
  const FieldMasks m = field_masks(data, 64, field_separator);
  const std::uint64_t valid = n == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1;
  const std::uint64_t feeds = m.line_feeds & valid;
  *ended = feeds != 0 || at + n == line.size();
  const std::uint64_t in_line = feeds != 0 ? (feeds & (0 - feeds)) - 1 : valid;
  return ~m.separators & in_line;
}

}  // namespace

KeySpan locate_key(std::string_view line, int no, int pos, int len) {
  if (line.size() < 64) {
    // A short line is walked byte by byte: cheaper than copying it for the
    // masks.
    const char* end = nullptr;
    const char* start = str_search(line.data(), no, pos, len, &end);
    return {start, start == nullptr ? nullptr : end};
  }
  int wanted = no <= 1 ? 1 : no;
  std::uint64_t before = 0;  // 1 when the byte before the window is a field byte
  for (std::size_t at = 0; at < line.size(); at += 64) {
    bool ended = false;
    std::uint64_t field = field_bytes(line, at, &ended);
    const std::uint64_t starts = field & ~((field << 1) | before);
    const int count = __builtin_popcountll(starts);
    if (count < wanted) {
      if (ended) break;
      wanted -= count;
      before = field >> 63;
      continue;
    }
    std::uint64_t rest = starts;
    while (--wanted > 0) rest &= rest - 1;
    const std::size_t begin = at + static_cast<std::size_t>(__builtin_ctzll(rest));
    // The field ends at the first byte after its start that is no field byte.
    std::uint64_t after = ~field & (~std::uint64_t{0} << (begin - at));
    while (after == 0 && !ended && at + 64 < line.size()) {
      at += 64;
      field = field_bytes(line, at, &ended);
      after = ~field;
    }
    const std::size_t end = after != 0 ? std::min(line.size(), at + static_cast<std::size_t>(__builtin_ctzll(after))) : line.size();
    const std::size_t key = pos <= 0 ? begin : std::min(end, begin + static_cast<std::size_t>(pos));
    const std::size_t key_end = len <= 0 ? key : std::min(end, key + static_cast<std::size_t>(len));
    return {line.data() + key, line.data() + key_end};
  }
  return {nullptr, nullptr};
}

const char* str_search(const char* line, int no, int pos, int len, const char** end) {
  Walk w{kByteClass[field_separator].data(), reinterpret_cast<const unsigned char*>(line)};
  w.over(kSeparator);
  if (w.at() == kLineEnd) return nullptr;
  for (int i = 1; i < no; ++i) {
    w.over(kField);
    if (w.at() == kLineEnd) return nullptr;
    w.over(kSeparator);
    if (w.at() == kLineEnd) return nullptr;
  }
  w.in_field(pos);
  const auto start = reinterpret_cast<const char*>(w.p);
  w.in_field(len);
  *end = reinterpret_cast<const char*>(w.p);
  return start;
}

}  // namespace qorla
