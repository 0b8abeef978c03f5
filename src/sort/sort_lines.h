// Sorting the stored lines by the comparison, stably, on every core.
#pragma once

#include <cstddef>

#include "input/line_table.h"

namespace qorla {

// Returns the table's lines in output order: by comp, equal lines in input
// order. Reports a consulted numeric key that failed ("floating data
// error") once. The table's array of lines is given back once the sort has
// taken the lines over (lines becomes null); the lines themselves stay.
const LineRef* sort_lines(LineTable& table);

// The memory that sorting the table takes on top of what the table holds:
// at the sort's peak, and for the sorted lines kept for the output.
struct SortPlan {
  std::size_t peak;
  std::size_t kept;
};
SortPlan plan_sort(const LineTable& table);

}  // namespace qorla
