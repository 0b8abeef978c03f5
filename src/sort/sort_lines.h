// Sorting the stored lines by the comparison, stably, on every core.
#pragma once

#include "input/line_table.h"

namespace qorla {

// Returns the table's lines in output order: by comp, equal lines in input
// order. Reports a consulted numeric key that failed ("floating data
// error") once. The table's array of lines becomes the sort's own (lines
// becomes null); the lines themselves stay.
const LineRef* sort_lines(LineTable& table);

}  // namespace qorla
