// The stored input lines, in input order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "support/line_ref.h"

namespace qorla {

// Lines are copied into large blocks or left where they are (a file held
// whole); nothing is freed before the process ends, except the table itself
// once the sort has taken the lines over.
struct LineTable {
  LineRef* lines = nullptr;
  std::int32_t line_count = 0;
  std::int32_t line_capacity = 0;
  // Current storage block: [block_next, block_end) is free.
  char* block_next = nullptr;
  char* block_end = nullptr;
};

// The size of the blocks that copied lines are stored in.
constexpr std::size_t kLineBlockSize = std::size_t{2} << 20;

// An empty table with room for 1000 lines.
void create_table(LineTable& table);

// Stores a copy of text, followed by a line feed when add_line_feed is set.
void append_line(LineTable& table, std::string_view text, bool add_line_feed);

// Stores text where it stands; it must hold a line feed and stay in place
// until the process ends.
void append_in_place(LineTable& table, std::string_view text);

// Makes room for count more lines and counts them in; the caller stores
// them in the slots returned.
LineRef* extend_table(LineTable& table, std::size_t count);

// Room for a copy of n bytes and a terminator, for a caller that builds the
// text itself; append_reserved stores the first n bytes of it.
char* reserve_line(LineTable& table, std::size_t n);
void append_reserved(LineTable& table, char* text, std::size_t n);

}  // namespace qorla
