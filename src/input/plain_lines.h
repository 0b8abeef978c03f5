// The lines of a file held whole that needs nothing but finding its line
// feeds, found on every core.
#pragma once

#include <cstddef>
#include <string_view>

#include "input/line_table.h"

namespace qorla {

// Stores, where they stand, the lines of text that end in a line feed,
// when the whole text holds no carriage return, 0 or 0x1A byte and no line
// of max_line bytes or more; sets *end past the last line feed. False, with
// nothing stored, when the text needs the careful reader.
bool store_plain_lines(std::string_view text, std::size_t max_line, LineTable& table, std::size_t* end);

}  // namespace qorla
