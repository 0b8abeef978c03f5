// Case-insensitive collation of Shift-JIS text: ASCII letters folded, the
// backslash before every other ASCII character, ASCII before half-width
// katakana before double-byte characters, double-byte characters kept whole.
#pragma once

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
unsigned char collation_code(unsigned char first_byte_of_unit);

}  // namespace qorla
