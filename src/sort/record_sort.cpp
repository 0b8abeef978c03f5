#include <cstring>

#include "sort/sort_record.h"

namespace qorla {

namespace {

constexpr int kDigits = 8;
constexpr int kBuckets = 256;
constexpr std::size_t kInsertionMax = 24;
// Up to this many records a merge sort, which takes log n passes over
// records that stay in the cache; above it a radix sort, which takes one
// pass per byte in which the caches differ.
constexpr std::size_t kMergeMax = 4096;
// Up to this many records (512 KiB) a radix sort stays in the cache; more
// are first cut into buckets by their most significant differing byte.
constexpr std::size_t kInCache = std::size_t{1} << 15;

inline unsigned digit(std::uint64_t cache, int d) { return static_cast<unsigned>(cache >> (8 * d)) & 0xFF; }

void insertion_sort(SortRecord* a, std::size_t n) {
  for (std::size_t i = 1; i < n; ++i) {
    const SortRecord r = a[i];
    std::size_t j = i;
    while (j > 0 && a[j - 1].cache > r.cache) {
      a[j] = a[j - 1];
      --j;
    }
    a[j] = r;
  }
}

// Merges the sorted runs [0, left) and [left, n) of records in place, with
// the left run set aside in buffer; the output never overtakes the right
// run it reads. Left wins ties, so earlier records stay first.
void merge_halves(SortRecord* records, std::size_t left, std::size_t n, SortRecord* buffer) {
  std::memcpy(static_cast<void*>(buffer), records, left * sizeof(SortRecord));
  std::size_t i = 0, j = left, out = 0;
  while (i < left && j < n) records[out++] = records[j].cache < buffer[i].cache ? records[j++] : buffer[i++];
  while (i < left) records[out++] = buffer[i++];
}

void merge_sort(SortRecord* records, std::size_t n, SortRecord* buffer) {
  if (n <= kInsertionMax) {
    insertion_sort(records, n);
    return;
  }
  const std::size_t left = n / 2;
  merge_sort(records, left, buffer);
  merge_sort(records + left, n - left, buffer);
  if (records[left - 1].cache > records[left].cache) merge_halves(records, left, n, buffer);
}

// Least-significant-digit radix sort, byte by byte, over the bytes set in
// differ; the result ends in records.
void lsd_sort(SortRecord* records, SortRecord* scratch, std::size_t n, std::uint64_t differ) {
  SortRecord* from = records;
  SortRecord* to = scratch;
  std::size_t count[kBuckets];
  for (int d = 0; d < kDigits; ++d) {
    if (digit(differ, d) == 0) continue;  // every record has this byte
    std::memset(count, 0, sizeof count);
    for (std::size_t i = 0; i < n; ++i) ++count[digit(from[i].cache, d)];
    std::size_t at = 0;
    for (std::size_t& c : count) {
      const std::size_t k = c;
      c = at;
      at += k;
    }
    for (std::size_t i = 0; i < n; ++i) to[count[digit(from[i].cache, d)]++] = from[i];
    SortRecord* t = from;
    from = to;
    to = t;
  }
  if (from != records) std::memcpy(static_cast<void*>(records), from, n * sizeof(SortRecord));
}

}  // namespace

std::uint64_t differing_bits(const SortRecord* records, std::size_t n) {
  std::uint64_t differ = 0;
  const std::uint64_t first = records[0].cache;
  for (std::size_t i = 1; i < n; ++i) differ |= records[i].cache ^ first;
  return differ;
}

int top_digit(std::uint64_t differ) { return (63 - __builtin_clzll(differ)) / 8; }

void merge_runs(SortRecord* records, std::size_t left, std::size_t n, SortRecord* buffer) {
  if (records[left - 1].cache > records[left].cache) merge_halves(records, left, n, buffer);
}

void sort_with_scratch(SortRecord* records, SortRecord* scratch, std::size_t n) {
  if (n <= kMergeMax) {
    merge_sort(records, n, scratch);
    return;
  }
  const std::uint64_t differ = differing_bits(records, n);
  if (differ == 0) return;
  if (n <= kInCache) {
    lsd_sort(records, scratch, n, differ);
    return;
  }
  // Too many records for the cache: one pass on the most significant byte
  // that differs cuts them into buckets that are sorted on their own.
  const int d = top_digit(differ);
  std::size_t start[kBuckets + 1] = {};
  for (std::size_t i = 0; i < n; ++i) ++start[digit(records[i].cache, d) + 1];
  for (int b = 0; b < kBuckets; ++b) start[b + 1] += start[b];
  std::size_t next[kBuckets];
  std::memcpy(next, start, sizeof next);
  for (std::size_t i = 0; i < n; ++i) scratch[next[digit(records[i].cache, d)]++] = records[i];
  for (int b = 0; b < kBuckets; ++b) {
    const std::size_t size = start[b + 1] - start[b];
    if (size > 1) sort_with_scratch(scratch + start[b], records + start[b], size);
  }
  std::memcpy(static_cast<void*>(records), scratch, n * sizeof(SortRecord));
}

void sort_records(SortRecord* records, std::size_t n, SortRecord* buffer, std::size_t capacity) {
  if (n <= capacity) {
    sort_with_scratch(records, buffer, n);
  } else {
    const std::size_t left = n / 2;
    sort_records(records, left, buffer, capacity);
    sort_records(records + left, n - left, buffer, capacity);
    merge_runs(records, left, n, buffer);
  }
}

}  // namespace qorla
