#include "order/field_locator.h"

#include <array>

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

}  // namespace

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
