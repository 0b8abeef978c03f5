#include "input/line_table.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

#include "support/memory.h"
#include "support/parallel.h"

namespace qorla {

namespace {

constexpr std::int32_t kInitialCapacity = 1000;

// Grows the table to hold at least needed lines (the count is kept below
// the capacity), doubling it at the least.
void grow_table(LineTable& table, std::size_t needed) {
  if (needed >= static_cast<std::size_t>(INT32_MAX)) {
    // The count would no longer fit the table's index.
    moremem_failed((static_cast<std::size_t>(INT32_MAX) + 1) * sizeof(LineRef));
  }
  std::size_t wanted = static_cast<std::size_t>(table.line_capacity) * 2;
  if (wanted <= needed) wanted = needed + 1;
  table.line_capacity = wanted > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(wanted);
  table.lines = static_cast<LineRef*>(
      moremem(table.lines, static_cast<std::size_t>(table.line_capacity) * sizeof(LineRef)));
}

#ifdef MADV_POPULATE_WRITE
void* populate(void* block) {
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto begin = (reinterpret_cast<std::uintptr_t>(block) + page - 1) & ~(page - 1);
  const auto end = (reinterpret_cast<std::uintptr_t>(block) + kLineBlockSize) & ~(page - 1);
  ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
  return nullptr;
}
#endif

// Maps the pages of a new block on another thread while this one fills
// it: the kernel's work for fresh memory is much of the cost of reading.
// Mapping a page never changes its contents, so the two need no lock; a
// page the reader reaches first is simply mapped by the reader.
void map_ahead(char* block) {
#ifdef MADV_POPULATE_WRITE
  start_detached(populate, block);
#else
  (void)block;
#endif
}

void append(LineTable& table, const char* text, std::size_t n) {
  table.lines[table.line_count++] = make_line_ref(text, n);
  if (table.line_count == table.line_capacity) grow_table(table, static_cast<std::size_t>(table.line_count));
}

}  // namespace

void create_table(LineTable& table) {
  table = LineTable{};
  table.line_capacity = kInitialCapacity;
  table.lines = static_cast<LineRef*>(getmem(kInitialCapacity * sizeof(LineRef)));
}

char* reserve_line(LineTable& table, std::size_t n) {
  if (static_cast<std::size_t>(table.block_end - table.block_next) < n + 1) {
    char* block = static_cast<char*>(getmem(kLineBlockSize));
    if (!fits_line_ref(block, kLineBlockSize)) getmem_failed(kLineBlockSize);
    table.block_next = block;
    table.block_end = block + kLineBlockSize;
    map_ahead(block);
  }
  return table.block_next;
}

void append_reserved(LineTable& table, char* text, std::size_t n) {
  text[n] = 0;
  table.block_next = text + n + 1;
  append(table, text, n);
}

void append_line(LineTable& table, std::string_view text, bool add_line_feed) {
  const std::size_t n = text.size() + (add_line_feed ? 1 : 0);
  char* at = reserve_line(table, n);
  std::memcpy(at, text.data(), text.size());
  if (add_line_feed) at[text.size()] = '\n';
  append_reserved(table, at, n);
}

void append_in_place(LineTable& table, std::string_view text) { append(table, text.data(), text.size()); }

LineRef* extend_table(LineTable& table, std::size_t count) {
  const std::size_t needed = static_cast<std::size_t>(table.line_count) + count;
  if (needed >= static_cast<std::size_t>(table.line_capacity)) grow_table(table, needed);
  LineRef* slots = table.lines + table.line_count;
  table.line_count = static_cast<std::int32_t>(needed);
  return slots;
}

}  // namespace qorla
