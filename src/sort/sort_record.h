// What the sort moves: a line and a 64-bit summary of its place in the
// order at the level being sorted (its cache), sixteen bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "support/line_ref.h"

namespace qorla {

struct SortRecord {
  std::uint64_t cache;
  LineRef line;
};
static_assert(sizeof(SortRecord) == 16);

// Sorts records by cache; records with equal caches keep their order.
// buffer must hold at least (n + 1) / 2 records, capacity of them.
void sort_records(SortRecord* records, std::size_t n, SortRecord* buffer, std::size_t capacity);

// The same on workers threads; buffer holds parallel_sort_buffer(n, workers)
// records, a little over half of n.
void sort_records_parallel(SortRecord* records, std::size_t n, SortRecord* buffer, int workers);
std::size_t parallel_sort_buffer(std::size_t n, int workers);

}  // namespace qorla
