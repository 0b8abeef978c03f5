// Sorting the stored lines by the comparison, stably, on every core.
#pragma once

#include "input/line_table.h"

namespace qorla {

// Returns the table's lines in output order: by comp, equal lines in input
// order. Reports a consulted numeric key that failed ("floating data
// error") once. The table itself is left as it was.
const char* const* sort_lines(const LineTable& table);

}  // namespace qorla
