#include "order/field_locator.h"

namespace qorla {

namespace {

inline bool is_line_end(unsigned char b) { return b == '\n' || b == 0; }

inline bool is_field_byte(unsigned char b) { return !is_line_end(b) && !is_separator(b); }

// Stops at a line feed even when it is the separator character: the line
// ends there.
inline const unsigned char* skip_separators(const unsigned char* p) {
  while (is_separator(*p) && !is_line_end(*p)) ++p;
  return p;
}

// Moves at most n bytes forward, stopping at the end of the field.
inline const unsigned char* advance_in_field(const unsigned char* p, int n) {
  for (; n > 0 && is_field_byte(*p); --n) ++p;
  return p;
}

}  // namespace

const char* str_search(const char* line, int no, int pos, int len, const char** end) {
  auto p = skip_separators(reinterpret_cast<const unsigned char*>(line));
  if (is_line_end(*p)) return nullptr;
  for (int i = 1; i < no; ++i) {
    while (is_field_byte(*p)) ++p;
    if (is_line_end(*p)) return nullptr;
    p = skip_separators(p);
    if (is_line_end(*p)) return nullptr;
  }
  const unsigned char* start = advance_in_field(p, pos);
  *end = reinterpret_cast<const char*>(advance_in_field(start, len));
  return reinterpret_cast<const char*>(start);
}

}  // namespace qorla
