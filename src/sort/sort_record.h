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

// The same with scratch room for all n records.
void sort_with_scratch(SortRecord* records, SortRecord* scratch, std::size_t n);

// Merges the sorted runs [0, left) and [left, n) of records, stably, with
// room for left records in buffer.
void merge_runs(SortRecord* records, std::size_t left, std::size_t n, SortRecord* buffer);

// The bits in which the caches of records differ from the first's.
std::uint64_t differing_bits(const SortRecord* records, std::size_t n);

// The index of the most significant byte set in differ (not 0).
int top_digit(std::uint64_t differ);

// The same on workers threads; buffer holds parallel_sort_buffer(n, workers)
// records, a little over half of n.
void sort_records_parallel(SortRecord* records, std::size_t n, SortRecord* buffer, int workers);
std::size_t parallel_sort_buffer(std::size_t n, int workers);

}  // namespace qorla
