#include "driver/line_table.h"

#include <climits>
#include <cstring>

#include "support/memory.h"

namespace qorla {

namespace {

constexpr std::size_t kBlockSize = std::size_t{32} << 20;
constexpr std::int32_t kInitialCapacity = 1000;

void grow_table(LineTable& table) {
  if (table.line_capacity == INT32_MAX) {
    // The count would no longer fit the table's index.
    moremem_failed((static_cast<std::size_t>(INT32_MAX) + 1) * sizeof(char*));
  }
  const std::int64_t wanted = static_cast<std::int64_t>(table.line_capacity) * 2;
  table.line_capacity = wanted > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(wanted);
  table.lines = static_cast<const char**>(
      moremem(table.lines, static_cast<std::size_t>(table.line_capacity) * sizeof(char*)));
}

char* reserve_text(LineTable& table, std::size_t n) {
  if (static_cast<std::size_t>(table.block_end - table.block_next) < n) {
    table.block_next = static_cast<char*>(getmem(kBlockSize));
    table.block_end = table.block_next + kBlockSize;
  }
  char* at = table.block_next;
  table.block_next += n;
  return at;
}

}  // namespace

void create_table(LineTable& table) {
  table = LineTable{};
  table.line_capacity = kInitialCapacity;
  table.lines = static_cast<const char**>(getmem(kInitialCapacity * sizeof(char*)));
}

void append_line(LineTable& table, std::string_view text, bool add_line_feed) {
  const std::size_t n = text.size() + (add_line_feed ? 1 : 0);
  char* at = reserve_text(table, n + 1);
  std::memcpy(at, text.data(), text.size());
  if (add_line_feed) at[text.size()] = '\n';
  at[n] = 0;
  table.lines[table.line_count++] = at;
  if (table.line_count == table.line_capacity) grow_table(table);
}

}  // namespace qorla
