// The stored input lines, in input order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qorla {

// Each entry points to a NUL-terminated line that holds no other 0 byte.
// Lines live in large blocks; nothing is freed before the process ends.
struct LineTable {
  const char** lines = nullptr;
  std::int32_t line_count = 0;
  std::int32_t line_capacity = 0;
  // Current storage block: [block_next, block_end) is free.
  char* block_next = nullptr;
  char* block_end = nullptr;
};

// An empty table with room for 1000 lines.
void create_table(LineTable& table);

// Stores text, followed by a line feed when add_line_feed is set.
void append_line(LineTable& table, std::string_view text, bool add_line_feed);

}  // namespace qorla
