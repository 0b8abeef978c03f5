#include "sort/sort_lines.h"

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "sort/float_error.h"
#include "sort/sort_record.h"
#include "order/compare.h"
#include "sort/sort_prefix.h"
#include "support/memory.h"
#include "support/parallel.h"

namespace qorla {

namespace {

// Equal prefixes fall back on the input position, which keeps the sort
// stable.
struct PrefixLess {
  bool operator()(const SortRecord& a, const SortRecord& b) const {
    const std::uint64_t pa = a.prefix(), pb = b.prefix();
    return pa != pb ? pa < pb : a.index < b.index;
  }
};

struct CompLess {
  const char* const* lines;
  int first_key;
  bool operator()(const SortRecord& a, const SortRecord& b) const {
    const int r = comp_keys(lines[a.index], lines[b.index], first_key, nullptr);
    return r != 0 ? r < 0 : a.index < b.index;
  }
};

constexpr int kMaxParts = 32;

struct SortJob {
  const char* const* lines;
  SortRecord* records;
  std::size_t n;
  int parts;
  bool failed_number[kMaxParts];
  // Each line's tie rule at the first level, two bits a line by input
  // position, so the second-level pass need not work out the first again.
  std::uint8_t* first_rule;
  std::size_t run_begin[kMaxParts + 1];  // the parts refined on their own
  // Where each line's record stands after the first sort, by input position.
  std::uint32_t* position;
  // One bit a record: set where a run of equal first-level prefixes starts.
  std::uint64_t* run_start;
};

// Parts of the lines (by input position) or of the records (by sorted
// position) for the passes run on every core. They start at multiples of
// 64, so that no two parts share a byte of first_rule or a word of
// run_start.
std::size_t job_part_begin(const SortJob& job, int part) { return part_begin(job.n, job.parts, part, 64); }

void set_first_rule(std::uint8_t* rules, std::size_t i, TieRule rule) {
  rules[i >> 2] = static_cast<std::uint8_t>(rules[i >> 2] | static_cast<unsigned>(rule) << ((i & 3) * 2));
}

TieRule first_rule(const std::uint8_t* rules, std::size_t i) {
  return static_cast<TieRule>((rules[i >> 2] >> ((i & 3) * 2)) & 3);
}

void build_part(int part, void* context) {
  auto& job = *static_cast<SortJob*>(context);
  const bool check_numbers = has_numeric_key();
  bool failed = false;
  for (std::size_t i = job_part_begin(job, part), end = job_part_begin(job, part + 1); i < end; ++i) {
    const std::uint64_t prefix = sort_prefix(job.lines[i]);
    job.records[i].set_prefix(prefix);
    job.records[i].index = static_cast<std::uint32_t>(i);
    set_first_rule(job.first_rule, i, tie_rule(prefix, Level{}));
    failed = failed || (check_numbers && prefix_marks_failed_number(prefix));
  }
  job.failed_number[part] = failed;
}

// Sorts records by prefix, equal prefixes in input order, with working
// memory for only half of them: each half is radix sorted, then the two are
// merged. Peak memory matters here: the lines themselves are all in memory.
void sort_by_prefix(SortRecord* records, std::size_t n) {
  const std::size_t left = n / 2, right = n - left;
  auto* spare = static_cast<SortRecord*>(getmem(right * sizeof(SortRecord)));
  for (SortRecord* half : {records, records + left}) {
    const std::size_t size = half == records ? left : right;
    if (radix_sort_records(half, spare, size) == spare) std::memcpy(static_cast<void*>(half), spare, size * sizeof(SortRecord));
  }
  // Merge from the front with the left half set aside: the output never
  // overtakes the right half it reads. Left wins ties, so input order holds.
  std::memcpy(static_cast<void*>(spare), records, left * sizeof(SortRecord));
  const PrefixLess less;
  std::size_t i = 0, j = left, out = 0;
  while (i < left && j < n) records[out++] = less(records[j], spare[i]) ? records[j++] : spare[i++];
  while (i < left) records[out++] = spare[i++];
  // Given back at once so that the next step's memory does not add to it.
  freemem(spare);
}

// End of the run of records with the same prefix as records[begin].
std::size_t run_end(const SortRecord* records, std::size_t begin, std::size_t end) {
  const std::uint64_t p = records[begin].prefix();
  std::size_t i = begin + 1;
  while (i < end && records[i].prefix() == p) ++i;
  return i;
}

// Sets each record's prefix to that of its line at level. The lines lie
// scattered in memory: the pointer to a line is asked for well ahead, the
// line itself a little later, so that many of these slow reads overlap.
void refill_prefixes(const char* const* lines, SortRecord* records, std::size_t n, Level level) {
  constexpr std::size_t kPointerAhead = 32, kLineAhead = 16;
  for (std::size_t k = 0; k < n; ++k) {
    if (k + kPointerAhead < n) __builtin_prefetch(&lines[records[k + kPointerAhead].index]);
    if (k + kLineAhead < n) __builtin_prefetch(lines[records[k + kLineAhead].index]);
    records[k].set_prefix(level_prefix(lines[records[k].index], level));
  }
}

// Each level refined inside another is one more stack frame; lines that
// tie for longer (long equal keys, up to 256 keys of them) are left to
// comp_keys, so that the depth stays bounded.
constexpr int kMaxRefineDepth = 32;

// True when every line of the run compares equal to the first from key on.
bool all_equal(const char* const* lines, const SortRecord* run, std::size_t n, int key) {
  for (std::size_t k = 1; k < n; ++k) {
    if (comp_keys(lines[run[0].index], lines[run[k].index], key, nullptr) != 0) return false;
  }
  return true;
}

// Orders [begin, end), whose lines are equal up to level, by what comes
// after it. Each line is looked at once per level it needs; lines still
// tied after the second level are most often copies of one another, so
// such a run is first tested for being equal throughout (a test that fails
// at the first pair that differs).
void refine(const SortJob& job, std::size_t begin, std::size_t end, Level level, int depth) {
  const char* const* lines = job.lines;
  SortRecord* const records = job.records;
  for (std::size_t i = begin; i < end;) {
    const std::size_t j = run_end(records, i, end);
    const TieRule rule = j - i > 1 ? tie_rule(records[i].prefix(), level) : TieRule::kEqual;
    if (rule == TieRule::kCompare || (rule != TieRule::kEqual && depth >= kMaxRefineDepth)) {
      std::sort(records + i, records + j, CompLess{lines, level.key});
    } else if (rule != TieRule::kEqual && !(depth >= 1 && all_equal(lines, records + i, j - i, level.key))) {
      // The run is in input order already (ties went by position).
      const Level next = next_level(level, rule);
      refill_prefixes(lines, records + i, j - i, next);
      std::sort(records + i, records + j, PrefixLess{});
      refine(job, i, j, next, depth + 1);
    }
    i = j;
  }
}

// Marks where the runs of equal first-level prefixes start, and notes
// where each line's record now stands.
void mark_runs_part(int part, void* context) {
  auto& job = *static_cast<SortJob*>(context);
  const SortRecord* const records = job.records;
  for (std::size_t p = job_part_begin(job, part), end = job_part_begin(job, part + 1); p < end; ++p) {
    if (p == 0 || records[p].prefix() != records[p - 1].prefix()) job.run_start[p >> 6] |= std::uint64_t{1} << (p & 63);
    job.position[records[p].index] = static_cast<std::uint32_t>(p);
  }
}

bool starts_run(const SortJob& job, std::size_t p) { return (job.run_start[p >> 6] >> (p & 63)) & 1; }

// Gives the record of every line that may tie at the first level its
// prefix at the next level, walking the lines in input order: they are
// then read one after another in memory rather than in the scattered order
// of the sorted records. The runs are known from run_start from now on.
void second_level_part(int part, void* context) {
  auto& job = *static_cast<SortJob*>(context);
  const bool check_numbers = has_numeric_key();
  bool failed = job.failed_number[part];
  for (std::size_t i = job_part_begin(job, part), end = job_part_begin(job, part + 1); i < end; ++i) {
    const TieRule rule = first_rule(job.first_rule, i);
    const bool deeper = rule == TieRule::kNextBytes || rule == TieRule::kNextKey;
    if (!deeper && !(check_numbers && !failed && rule != TieRule::kEqual)) continue;
    const Level next = next_level(Level{}, rule);
    const std::uint64_t prefix = deeper ? level_prefix(job.lines[i], next) : 0;
    if (deeper) job.records[job.position[i]].set_prefix(prefix);
    // A later key is consulted only for lines that may tie on the first;
    // whether one of them fails is known from the prefix just made.
    if (check_numbers && !failed && rule != TieRule::kEqual) {
      const bool next_is_key = deeper && next.key == 1 && next.offset == 0;
      failed = (next_is_key && prefix_marks_failed_number(prefix, next)) ||
               has_failed_numeric_key(job.lines[i], next_is_key ? 2 : 1);
    }
  }
  job.failed_number[part] = failed;
}

// Orders each run of equal first-level prefixes in [begin, end), whose
// records hold their second-level prefixes already.
void refine_first_level(const SortJob& job, std::size_t begin, std::size_t end) {
  SortRecord* const records = job.records;
  for (std::size_t i = begin; i < end;) {
    std::size_t j = i + 1;
    while (j < end && !starts_run(job, j)) ++j;
    if (j - i > 1) {
      const TieRule rule = first_rule(job.first_rule, records[i].index);
      if (rule == TieRule::kCompare) {
        std::sort(records + i, records + j, CompLess{job.lines, 0});
      } else if (rule != TieRule::kEqual) {
        std::sort(records + i, records + j, PrefixLess{});
        refine(job, i, j, next_level(Level{}, rule), 1);
      }
    }
    i = j;
  }
}

void refine_part(int part, void* context) {
  auto& job = *static_cast<SortJob*>(context);
  refine_first_level(job, job.run_begin[part], job.run_begin[part + 1]);
}

// Splits the sorted records into parts for refinement, each boundary moved
// to the end of its run of equal prefixes so no run is split.
void split_at_runs(SortJob& job) {
  job.run_begin[0] = 0;
  for (int i = 1; i < job.parts; ++i) {
    std::size_t b = std::max(part_begin(job.n, job.parts, i), job.run_begin[i - 1]);
    if (b > 0 && b < job.n) b = run_end(job.records, b - 1, job.n);
    job.run_begin[i] = std::min(b, job.n);
  }
  job.run_begin[job.parts] = job.n;
}

// Looks every record's line up, on every core: the prefix of each record
// is replaced by its line's address.
void look_up_lines_part(int part, void* context) {
  auto& job = *static_cast<SortJob*>(context);
  SortRecord* const records = job.records;
  for (std::size_t i = job_part_begin(job, part), end = job_part_begin(job, part + 1); i < end; ++i) {
    if (i + 32 < end) __builtin_prefetch(&job.lines[records[i + 32].index]);
    records[i].set_prefix(reinterpret_cast<std::uintptr_t>(job.lines[records[i].index]));
  }
}

// Rewrites the sorted records as line pointers in the same memory: pointer
// i (8 bytes at 8i) never reaches record i+1 (at 12i+12).
const char* const* to_line_order(SortJob& job) {
  run_parallel(job.parts, look_up_lines_part, &job);
  auto out = static_cast<const char**>(static_cast<void*>(job.records));
  for (std::size_t i = 0; i < job.n; ++i) {
    const auto line = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(job.records[i].prefix()));
    std::memcpy(static_cast<void*>(out + i), &line, sizeof line);
  }
  return out;
}

void report_failed_numbers(const char* const* sorted, std::size_t n) {
  // A failed key consulted by any comparison is also consulted by one of
  // two lines next to each other in the result, so this finds it whatever
  // pairs the sort happened to compare.
  for (std::size_t i = 1; i < n; ++i) {
    CompareTrace trace;
    comp_keys(sorted[i - 1], sorted[i], 0, &trace);
    if (trace.numeric_failure_consulted) {
      sigfpe(SIGFPE);
      return;
    }
  }
}

}  // namespace

const char* const* sort_lines(const LineTable& table) {
  const auto n = static_cast<std::size_t>(table.line_count);
  if (n == 0) return table.lines;
  SortJob job{};
  job.lines = table.lines;
  job.n = n;
  job.records = static_cast<SortRecord*>(getmem(n * sizeof(SortRecord)));
  const std::size_t per_worker_minimum = 1 << 14;
  int workers = std::min(worker_count(), kMaxParts);
  while (workers > 1 && n / static_cast<std::size_t>(workers) < per_worker_minimum) --workers;
  job.parts = workers;
  job.first_rule = static_cast<std::uint8_t*>(getmem(n / 4 + 1));
  run_parallel(job.parts, build_part, &job);
  sort_by_prefix(job.records, n);
  split_at_runs(job);
  job.position = static_cast<std::uint32_t*>(getmem(n * sizeof(std::uint32_t)));
  job.run_start = static_cast<std::uint64_t*>(getmem((n / 64 + 1) * sizeof(std::uint64_t)));
  run_parallel(job.parts, mark_runs_part, &job);
  run_parallel(job.parts, second_level_part, &job);
  freemem(job.position);
  run_parallel(job.parts, refine_part, &job);
  freemem(job.run_start);
  freemem(job.first_rule);
  const char* const* sorted = to_line_order(job);
  bool any_failed = false;
  for (int i = 0; i < job.parts; ++i) any_failed = any_failed || job.failed_number[i];
  if (any_failed) report_failed_numbers(sorted, n);
  return sorted;
}

}  // namespace qorla
