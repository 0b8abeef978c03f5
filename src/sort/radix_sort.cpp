#include <cstring>

#include "sort/sort_record.h"
#include "support/parallel.h"

namespace qorla {

namespace {

constexpr int kDigits = 8;
constexpr int kBuckets = 256;
constexpr std::size_t kInsertionMax = 24;
// Up to this many records a merge sort, which takes log n passes over
// records that stay in the cache; above it a radix sort, which takes one
// pass per byte in which the caches differ.
constexpr std::size_t kMergeMax = 4096;

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

// Least-significant-digit radix sort, byte by byte, over the bytes in
// which the caches differ; the result ends in records.
void radix_sort(SortRecord* records, SortRecord* buffer, std::size_t n) {
  std::uint64_t differ = 0;
  const std::uint64_t first = records[0].cache;
  for (std::size_t i = 1; i < n; ++i) differ |= records[i].cache ^ first;
  SortRecord* from = records;
  SortRecord* to = buffer;
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

void sort_records(SortRecord* records, std::size_t n, SortRecord* buffer, std::size_t capacity) {
  if (n <= kMergeMax) {
    merge_sort(records, n, buffer);
  } else if (n <= capacity) {
    radix_sort(records, buffer, n);
  } else {
    const std::size_t left = n / 2;
    sort_records(records, left, buffer, capacity);
    sort_records(records + left, n - left, buffer, capacity);
    if (records[left - 1].cache > records[left].cache) merge_halves(records, left, n, buffer);
  }
}

namespace {

// The parallel sort: the records are cut into parts, sorted at once on
// their own threads, each with a share of the buffer half its size; then
// pairs of sorted runs are merged, round by round, each pair with a share of
// the buffer as large as its left run.
struct ParallelSort {
  SortRecord* records;
  SortRecord* buffer;
  std::size_t n;
  int parts;
  std::size_t part_max;  // no part holds more records
  int width;             // parts merged so far into each sorted run
};

void sort_part(int part, void* context) {
  auto& job = *static_cast<ParallelSort*>(context);
  const std::size_t begin = part_begin(job.n, job.parts, part), end = part_begin(job.n, job.parts, part + 1);
  const std::size_t share = (job.part_max + 1) / 2;
  sort_records(job.records + begin, end - begin, job.buffer + static_cast<std::size_t>(part) * share, share);
}

void merge_pair(int pair, void* context) {
  auto& job = *static_cast<ParallelSort*>(context);
  const int first = pair * 2 * job.width;
  const std::size_t begin = part_begin(job.n, job.parts, first);
  const std::size_t middle = part_begin(job.n, job.parts, first + job.width);
  const std::size_t end = part_begin(job.n, job.parts, first + 2 * job.width);
  if (middle >= end || job.records[middle - 1].cache <= job.records[middle].cache) return;
  const std::size_t share = job.part_max * static_cast<std::size_t>(job.width);
  merge_halves(job.records + begin, middle - begin, end - begin, job.buffer + static_cast<std::size_t>(pair) * share);
}

}  // namespace

std::size_t parallel_sort_buffer(std::size_t n, int workers) {
  const auto parts = static_cast<std::size_t>(workers < 2 ? 1 : 2 * workers);
  return (n / parts + 2) * parts / 2 + parts;
}

void sort_records_parallel(SortRecord* records, std::size_t n, SortRecord* buffer, int workers) {
  if (workers < 2 || n < 4096) {
    sort_records(records, n, buffer, (n + 1) / 2);
    return;
  }
  ParallelSort job{records, buffer, n, 2 * workers, n / static_cast<std::size_t>(2 * workers) + 1, 1};
  run_parallel(job.parts, sort_part, &job);
  for (job.width = 1; job.width < job.parts; job.width *= 2) {
    run_parallel((job.parts + 2 * job.width - 1) / (2 * job.width), merge_pair, &job);
  }
}

}  // namespace qorla
