#include <cstring>

#include "sort/sort_record.h"
#include "support/parallel.h"

namespace qorla {

namespace {

constexpr int kDigitBits = 8;
constexpr int kDigits = 64 / kDigitBits;
constexpr int kBuckets = 1 << kDigitBits;
constexpr int kMaxParts = 16;

inline unsigned digit(std::uint64_t prefix, int d) {
  return static_cast<unsigned>(prefix >> (d * kDigitBits)) & (kBuckets - 1);
}

struct RadixJob {
  SortRecord* from;
  SortRecord* to;
  std::size_t n;
  int parts;
  int pass_digit;
  std::size_t all_digits[kMaxParts][kDigits][kBuckets];  // to skip constant digits
  std::size_t count[kMaxParts][kBuckets];                 // this pass, per part
  std::size_t next[kMaxParts][kBuckets];                  // where each part writes
};

void count_all_digits(int part, void* context) {
  auto& job = *static_cast<RadixJob*>(context);
  auto& count = job.all_digits[part];
  for (std::size_t i = part_begin(job.n, job.parts, part), e = part_begin(job.n, job.parts, part + 1); i < e; ++i) {
    const std::uint64_t p = job.from[i].prefix();
    for (int d = 0; d < kDigits; ++d) ++count[d][digit(p, d)];
  }
}

void count_pass_digit(int part, void* context) {
  auto& job = *static_cast<RadixJob*>(context);
  std::size_t* count = job.count[part];
  std::memset(count, 0, sizeof job.count[part]);
  for (std::size_t i = part_begin(job.n, job.parts, part), e = part_begin(job.n, job.parts, part + 1); i < e; ++i) {
    ++count[digit(job.from[i].prefix(), job.pass_digit)];
  }
}

// Each part scatters its records in order, after those of the parts before
// it, so records with equal digits keep their order.
void scatter_part(int part, void* context) {
  auto& job = *static_cast<RadixJob*>(context);
  std::size_t* next = job.next[part];
  for (std::size_t i = part_begin(job.n, job.parts, part), e = part_begin(job.n, job.parts, part + 1); i < e; ++i) {
    job.to[next[digit(job.from[i].prefix(), job.pass_digit)]++] = job.from[i];
  }
}

bool digit_varies(const RadixJob& job, int d) {
  for (int b = 0; b < kBuckets; ++b) {
    std::size_t total = 0;
    for (int p = 0; p < job.parts; ++p) total += job.all_digits[p][d][b];
    if (total == job.n) return false;
    if (total != 0) return true;
  }
  return false;
}

void plan_pass(RadixJob& job) {
  std::size_t at = 0;
  for (int b = 0; b < kBuckets; ++b) {
    for (int p = 0; p < job.parts; ++p) {
      job.next[p][b] = at;
      at += job.count[p][b];
    }
  }
}

}  // namespace

SortRecord* radix_sort_records(SortRecord* records, SortRecord* buffer, std::size_t n) {
  static RadixJob job;  // large tables; one sort runs at a time
  std::memset(job.all_digits, 0, sizeof job.all_digits);
  job.n = n;
  job.parts = worker_count() < kMaxParts ? worker_count() : kMaxParts;
  if (n < 65536) job.parts = 1;
  job.from = records;
  job.to = buffer;
  run_parallel(job.parts, count_all_digits, &job);
  for (int d = 0; d < kDigits; ++d) {
    if (!digit_varies(job, d)) continue;
    job.pass_digit = d;
    run_parallel(job.parts, count_pass_digit, &job);
    plan_pass(job);
    run_parallel(job.parts, scatter_part, &job);
    SortRecord* t = job.from;
    job.from = job.to;
    job.to = t;
  }
  return job.from;
}

}  // namespace qorla
