#include <algorithm>
#include <atomic>
#include <cstring>

#include "sort/sort_record.h"
#include "support/parallel.h"

namespace qorla {

namespace {

constexpr int kMaxWorkers = 64;
constexpr int kBuckets = 256;

inline unsigned digit(std::uint64_t cache, int d) { return static_cast<unsigned>(cache >> (8 * d)) & 0xFF; }

// One half of the records sorted on every core: cut into buckets by the
// most significant byte that differs (each worker moves its own share of
// the records, in order, so the cut is stable), the buckets sorted one by
// one by whichever worker is free, and copied back.
struct HalfSort {
  SortRecord* half;
  SortRecord* scratch;
  std::size_t n;
  int workers;
  int d;
  std::uint64_t differ[kMaxWorkers];
  std::size_t next[kMaxWorkers][kBuckets];
  std::size_t start[kBuckets + 1];
  int order[kBuckets];  // buckets, largest first
  std::atomic<int> next_bucket;
};

std::size_t share_begin(const HalfSort& job, int w) { return part_begin(job.n, job.workers, w); }

void find_differ(int w, void* context) {
  auto& job = *static_cast<HalfSort*>(context);
  const std::size_t begin = share_begin(job, w), end = share_begin(job, w + 1);
  std::uint64_t differ = 0;
  const std::uint64_t first = job.half[0].cache;
  for (std::size_t i = begin; i < end; ++i) differ |= job.half[i].cache ^ first;
  job.differ[w] = differ;
}

void count_digit(int w, void* context) {
  auto& job = *static_cast<HalfSort*>(context);
  std::size_t* count = job.next[w];
  std::memset(count, 0, sizeof job.next[w]);
  for (std::size_t i = share_begin(job, w), end = share_begin(job, w + 1); i < end; ++i) {
    ++count[digit(job.half[i].cache, job.d)];
  }
}

void scatter(int w, void* context) {
  auto& job = *static_cast<HalfSort*>(context);
  std::size_t* next = job.next[w];
  for (std::size_t i = share_begin(job, w), end = share_begin(job, w + 1); i < end; ++i) {
    job.scratch[next[digit(job.half[i].cache, job.d)]++] = job.half[i];
  }
}

void sort_buckets(int /*worker*/, void* context) {
  auto& job = *static_cast<HalfSort*>(context);
  for (int k = job.next_bucket++; k < kBuckets; k = job.next_bucket++) {
    const int b = job.order[k];
    const std::size_t size = job.start[b + 1] - job.start[b];
    if (size > 1) sort_with_scratch(job.scratch + job.start[b], job.half + job.start[b], size);
  }
}

void copy_back(int w, void* context) {
  auto& job = *static_cast<HalfSort*>(context);
  const std::size_t begin = share_begin(job, w), end = share_begin(job, w + 1);
  std::memcpy(static_cast<void*>(job.half + begin), job.scratch + begin, (end - begin) * sizeof(SortRecord));
}

void sort_half(SortRecord* half, SortRecord* scratch, std::size_t n, int workers) {
  static HalfSort job;  // large; one half at a time
  job.half = half;
  job.scratch = scratch;
  job.n = n;
  job.workers = workers;
  run_parallel(workers, find_differ, &job);
  std::uint64_t differ = 0;
  for (int w = 0; w < workers; ++w) differ |= job.differ[w];
  if (differ == 0) return;  // all equal: in order already
  job.d = top_digit(differ);
  run_parallel(workers, count_digit, &job);
  // Bucket b of worker w goes after bucket b of the workers before it.
  std::size_t at = 0;
  for (int b = 0; b < kBuckets; ++b) {
    job.start[b] = at;
    for (int w = 0; w < workers; ++w) {
      const std::size_t count = job.next[w][b];
      job.next[w][b] = at;
      at += count;
    }
  }
  job.start[kBuckets] = at;
  run_parallel(workers, scatter, &job);
  for (int b = 0; b < kBuckets; ++b) job.order[b] = b;
  std::sort(job.order, job.order + kBuckets, [](int x, int y) {
    return job.start[x + 1] - job.start[x] > job.start[y + 1] - job.start[y];
  });
  job.next_bucket = 0;
  run_parallel(workers, sort_buckets, &job);
  run_parallel(workers, copy_back, &job);
}

}  // namespace

std::size_t parallel_sort_buffer(std::size_t n, int /*workers*/) { return n - n / 2; }

void sort_records_parallel(SortRecord* records, std::size_t n, SortRecord* buffer, int workers) {
  if (workers < 2 || n < (std::size_t{1} << 16)) {
    sort_records(records, n, buffer, n - n / 2);
    return;
  }
  workers = std::min(workers, kMaxWorkers);
  const std::size_t left_n = n / 2;
  sort_half(records, buffer, left_n, workers);
  sort_half(records + left_n, buffer, n - left_n, workers);
  // One pass, on one core: merging in place with only the left half set
  // aside is safe only front to back.
  merge_runs(records, left_n, n, buffer);
}

}  // namespace qorla
