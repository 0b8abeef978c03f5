// Sorting the stored lines by the comparison, stably, on every core.
#pragma once

#include <cstddef>

#include "input/line_table.h"

namespace qorla {

// Returns the table's lines in output order: by comp, equal lines in input
// order. Reports a consulted numeric key that failed ("floating data
// error") once. The table's array of lines becomes the sort's own (lines
// becomes null); the lines themselves stay.
const LineRef* sort_lines(LineTable& table);

// The memory that sorting the table takes on top of what the table holds:
// the growth of its array into records, kept until the output is written,
// and the working buffer, given back when the sort ends.
struct SortPlan {
  std::size_t growth;
  std::size_t working;
};
SortPlan plan_sort(const LineTable& table);

}  // namespace qorla
