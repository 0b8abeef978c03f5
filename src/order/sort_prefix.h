// A 64-bit summary of a line's place in the order, computed once per line
// so that most comparisons of the sort never touch the line text.
#pragma once

#include <cstdint>

namespace qorla {

// prefix(a) < prefix(b) implies comp(a, b) < 0. Reads the settings, which
// must not change afterwards.
std::uint64_t sort_prefix(const char* line);

// Where comparison must go on for two lines with equal prefixes: -1 when
// comp is 0 for them, else the index of the first key still to compare (0
// under whole-line order when the lines may still differ).
int tie_start(std::uint64_t prefix);

// True when the prefix holds the whole first key (typed keys), so equal
// prefixes need comparison from the second key only.
bool prefix_is_exact_value();

}  // namespace qorla

namespace qorla {

// True when the prefix is that of a numeric first key that failed.
bool prefix_marks_failed_number(std::uint64_t prefix);

}  // namespace qorla
