// -c: keeping a range of fields of a line.
#pragma once

#include <cstddef>
#include <string_view>

namespace qorla {

// The kept text is line.substr(start, length), followed by a line feed
// when add_line_feed is set.
struct Cut {
  std::size_t start;
  std::size_t length;
  bool add_line_feed;
};

// Keeps fields n1 to n2 of line (n2 = 9999: to the end; n1 = 0 with 9999:
// the whole line). Fields are separated by runs of separator bytes; the line
// feed always separates, so the fields of joined pieces count too.
Cut set_fields(int n1, int n2, std::string_view line);

}  // namespace qorla
