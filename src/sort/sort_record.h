// What the sort moves: a 64-bit prefix of a line's place in the order and
// the line's input position, in twelve bytes to keep working memory small.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qorla {

struct SortRecord {
  std::uint32_t prefix_high;
  std::uint32_t prefix_low;
  std::uint32_t index;
  std::uint64_t prefix() const { return std::uint64_t{prefix_high} << 32 | prefix_low; }
  void set_prefix(std::uint64_t p) {
    prefix_high = static_cast<std::uint32_t>(p >> 32);
    prefix_low = static_cast<std::uint32_t>(p);
  }
};
static_assert(sizeof(SortRecord) == 12);

// Sorts records by prefix; records with equal prefixes keep their order
// (a stable least-significant-digit radix sort, run on every core).
// buffer must hold n records. Returns records or buffer, whichever holds
// the result.
SortRecord* radix_sort_records(SortRecord* records, SortRecord* buffer, std::size_t n);

}  // namespace qorla
