// Case-insensitive collation of Shift-JIS text: ASCII letters folded, the
// backslash before every other ASCII character, ASCII before half-width
// katakana before double-byte characters, double-byte characters kept whole.
#pragma once

#include <array>
#include <string_view>

namespace qorla {

// -1, 0 or 1. n < 0: no limit; n == 0: 0 at once; n > 0: equal once n
// bytes have been counted equal (a double-byte unit begun is compared whole).
int StrnCmp(const char* a, const char* b, int n);
int StrCmp(const char* a, const char* b);

// StrCmp over spans: the byte past the end of a span reads as a terminator.
// The spans must not hold a 0 byte.
int collate(std::string_view a, std::string_view b);

// Order-preserving code for one byte position of the collation: ASCII is
// 1-101 (backslash 1), katakana 102-164, a double-byte first byte 165-229
// (its second byte follows as it is), 0 the end. Comparing the code
// sequences as bytes gives the collation's order.
constexpr unsigned char compute_collation_code(unsigned char b) {
  if (b == 0) return 0;
  if (b < 0x80) {
    const unsigned char f = (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b + 0x20) : b;
    if (f == '\\') return 1;
    // Folded values 0x01-0x7F without the capitals and the backslash, in
    // order, packed into 2-101.
    int code = f + 1;         // 0x01 -> 2
    if (f > 'Z') code -= 26;  // the capitals never occur after folding
    if (f > '\\') code -= 1;  // nor does the backslash in this range
    return static_cast<unsigned char>(code);
  }
  if (b >= 0xA1 && b <= 0xDF) return static_cast<unsigned char>(102 + (b - 0xA1));
  // Double-byte first bytes 0x80-0xA0 then 0xE0-0xFF.
  return static_cast<unsigned char>(b <= 0xA0 ? 165 + (b - 0x80) : 198 + (b - 0xE0));
}

inline constexpr std::array<unsigned char, 256> kCollationCodes = [] {
  std::array<unsigned char, 256> table{};
  for (int b = 0; b < 256; ++b) table[b] = compute_collation_code(static_cast<unsigned char>(b));
  return table;
}();

inline unsigned char collation_code(unsigned char first_byte_of_unit) {
  return kCollationCodes[first_byte_of_unit];
}

}  // namespace qorla
