#include "order/collation.h"

#include <cstring>

namespace qorla {

namespace {

inline bool is_kana(unsigned char b) { return b >= 0xA1 && b <= 0xDF; }

inline unsigned char fold(unsigned char b) {
  return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b + 0x20) : b;
}

inline int sign(int d) { return (d > 0) - (d < 0); }

// The comparison itself. at(s, len, i) reads the terminator past the end.
int collate_bytes(const unsigned char* a, std::size_t alen, const unsigned char* b,
                  std::size_t blen, int n) {
  std::size_t i = 0, j = 0;
  auto at_a = [&](std::size_t k) -> unsigned char { return k < alen ? a[k] : 0; };
  auto at_b = [&](std::size_t k) -> unsigned char { return k < blen ? b[k] : 0; };
  auto count = [&n]() {
    if (n > 0) --n;
  };
  while (n != 0 && at_a(i) != 0 && at_b(j) != 0) {
    const unsigned char x = at_a(i), y = at_b(j);
    if (x < 0x80) {
      if (y >= 0x80) return -1;
      const unsigned char fx = fold(x), fy = fold(y);
      if (fx != fy) {
        if (fx == '\\') return -1;
        if (fy == '\\') return 1;
        return fx < fy ? -1 : 1;
      }
      ++i, ++j;
      count();
      continue;
    }
    if (is_kana(x) != is_kana(y)) {
      if (is_kana(x)) return y >= 0x80 ? -1 : 1;
      return 1;
    }
    if (x != y) return x < y ? -1 : 1;
    ++i, ++j;
    count();
    if (is_kana(x)) continue;
    // Second bytes of a double-byte unit compare unfolded; a terminator
    // there (a lone first byte at the end) is smaller than any real byte.
    const unsigned char x2 = at_a(i), y2 = at_b(j);
    if (x2 != y2) return x2 < y2 ? -1 : 1;
    if (x2 == 0) return 0;
    ++i, ++j;
    count();
  }
  if (n == 0) return 0;
  return sign(static_cast<int>(at_a(i) != 0) - static_cast<int>(at_b(j) != 0));
}

}  // namespace

int StrnCmp(const char* a, const char* b, int n) {
  return collate_bytes(reinterpret_cast<const unsigned char*>(a), std::strlen(a),
                       reinterpret_cast<const unsigned char*>(b), std::strlen(b), n);
}

int StrCmp(const char* a, const char* b) { return StrnCmp(a, b, -1); }

int collate(std::string_view a, std::string_view b) {
  return collate_bytes(reinterpret_cast<const unsigned char*>(a.data()), a.size(),
                       reinterpret_cast<const unsigned char*>(b.data()), b.size(), -1);
}

}  // namespace qorla
