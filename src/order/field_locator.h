// Finds the text of one key inside a stored line.
#pragma once

#include <string_view>

#include "order/settings.h"

namespace qorla {

// True when b separates fields under the separator sep (0: blanks and tabs).
constexpr bool separates(unsigned char sep, unsigned char b) {
  return sep == 0 ? (b == ' ' || b == '\t') : b == sep;
}

// The same under the current field_separator.
inline bool is_separator(unsigned char b) { return separates(field_separator, b); }

// Key start of field no (1-based; <= 1 means the first), moved pos bytes
// into the field and at most len bytes long, never past the field. Returns
// null when the line has no such field; otherwise stores the key end in
// *end. The line ends at its first line feed or at its terminator.
const char* str_search(const char* line, int no, int pos, int len, const char** end);

// The same over a line whose length is known (it holds no 0 byte, ends at
// its first line feed or at its end, and holds a line feed or is followed
// by a 0 byte), looking at 64 bytes at a time: start is null when the line
// has no such field.
struct KeySpan {
  const char* start;
  const char* end;
};
KeySpan locate_key(std::string_view line, int no, int pos, int len);

}  // namespace qorla
