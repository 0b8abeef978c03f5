#include "sort/refine.h"

#include <algorithm>
#include <cstring>

#include "order/compare.h"
#include "order/settings.h"
#include "support/parallel.h"

namespace qorla {

namespace {

// Each run refined inside another is one more stack frame; runs still tied
// that deep (long keys equal for thousands of bytes, or 256 keys of them)
// are ordered with comp_keys, so that the depth stays bounded.
constexpr int kMaxRefineDepth = 48;
// Runs this small are ordered by comparing their lines from the level on:
// their lines are read from memory once and then compared in the cache,
// where every further level would read them again.
constexpr std::size_t kSmallRun = 8;
constexpr int kMaxBigRuns = 4 * 64 + 4;

// How a run's texts agree with the text of its first line: the least
// common_length, or 0 as soon as they surely agree on fewer than eight
// bytes (all that matters is whether the level can skip ahead).
struct Agreement {
  std::size_t common = kTextsEqual;
};

struct Span {
  SortRecord* records;
  std::size_t n;
};

struct Share {
  SortRecord* buffer;
  std::size_t capacity;
};

bool is_numeric(int key) { return sort_cnt > 0 && sort[key].type == kNumeric; }

// Sets the caches of the run at level. With first, also works out how the
// texts agree with it.
void refill(Engine& engine, Span run, Level level, const LevelText* first, Agreement* agreement) {
  constexpr std::size_t kAhead = 12;
  // Whole lines compared as bytes, the commonest case, read their cache
  // straight from the line.
  const bool whole_bytes = sort_cnt == 0 && !ignore_case;
  const std::uint64_t flip = whole_bytes && rev_flag ? ~std::uint64_t{0} : 0;
  const bool check_numbers = is_numeric(level.key);
  const std::uint64_t first_cache = first != nullptr ? prefix_of(*first, level) : 0;
  bool failed = false;
  for (std::size_t k = 0; k < run.n; ++k) {
    // The lines lie scattered in memory: ask for them well ahead.
    if (k + kAhead < run.n) __builtin_prefetch(line_data(run.records[k + kAhead].line));
    const std::string_view line = line_text(run.records[k].line);
    LevelText t{line, true};
    std::uint64_t cache;
    if (whole_bytes) {
      cache = byte_prefix(line, level.offset) ^ flip;
    } else {
      t = level_text(line, level.key);
      cache = prefix_of(t, level);
      if (check_numbers) failed = failed || prefix_marks_failed_number(cache, level);
    }
    run.records[k].cache = cache;
    if (first == nullptr || agreement->common == 0) continue;
    if (cache != first_cache || !t.present || !first->present) {
      agreement->common = 0;
    } else {
      const std::size_t c = common_length(first->text, t.text, level);
      if (c < agreement->common) agreement->common = c;
    }
  }
  if (failed) engine.failed_number.store(true, std::memory_order_relaxed);
}

// Stable merge sort of the run by compare_from at level.
void comp_sort(SortRecord* r, std::size_t n, Level level, Share share, CompareTrace* trace) {
  const auto less = [level, trace](const SortRecord& a, const SortRecord& b) {
    return compare_from(line_text(a.line), line_text(b.line), level, trace) < 0;
  };
  if (n <= 16) {
    for (std::size_t i = 1; i < n; ++i) {
      const SortRecord x = r[i];
      std::size_t j = i;
      for (; j > 0 && less(x, r[j - 1]); --j) r[j] = r[j - 1];
      r[j] = x;
    }
    return;
  }
  const std::size_t left = n / 2;
  comp_sort(r, left, level, share, trace);
  comp_sort(r + left, n - left, level, share, trace);
  if (!less(r[left], r[left - 1])) return;
  std::memcpy(static_cast<void*>(share.buffer), r, left * sizeof(SortRecord));
  std::size_t i = 0, j = left, out = 0;
  while (i < left && j < n) r[out++] = less(r[j], share.buffer[i]) ? r[j++] : share.buffer[i++];
  while (i < left) r[out++] = share.buffer[i++];
}

// Orders a run by comparing its lines from level on, as the last resort
// and for runs too small to be worth another pass.
void order_by_comparing(Engine& engine, Span run, Level level, Share share) {
  CompareTrace trace;
  comp_sort(run.records, run.n, level, share, &trace);
  if (trace.numeric_failure_consulted) engine.failed_number.store(true, std::memory_order_relaxed);
}

// Orders a run of at most kSmallRun records by comparing their lines from
// level on, each line's text at the level located once: a stable binary
// insertion sort.
void order_small_run(Engine& engine, Span run, Level level, Share share) {
  if (!compares_bytes_from(level)) {
    order_by_comparing(engine, run, level, share);
    return;
  }
  SortRecord* const r = run.records;
  LevelText text[kSmallRun];
  CompareTrace trace;
  for (std::size_t i = 0; i < run.n; ++i) {
    const SortRecord record = r[i];
    const LevelText t = level_text(line_text(record.line), level.key);
    // The first place whose line sorts after this one.
    std::size_t lo = 0, hi = i;
    while (lo < hi) {
      const std::size_t mid = lo + (hi - lo) / 2;
      if (compare_level_texts(line_text(record.line), t, line_text(r[mid].line), text[mid], level, &trace) < 0) {
        hi = mid;
      } else {
        lo = mid + 1;
      }
    }
    for (std::size_t k = i; k > lo; --k) {
      r[k] = r[k - 1];
      text[k] = text[k - 1];
    }
    r[lo] = record;
    text[lo] = t;
  }
  if (trace.numeric_failure_consulted) engine.failed_number.store(true, std::memory_order_relaxed);
}

// The level after a tie of the record's cache under rule.
Level deeper(const SortRecord& record, Level level, TieRule rule) {
  // Only the collation's units need the text to find the next offset.
  const bool needs_text = ignore_case && rule == TieRule::kNextBytes;
  const std::string_view text = needs_text ? level_text(line_text(record.line), level.key).text : std::string_view();
  return next_level(level, rule, text);
}

// What a run's texts at a level say about the level to sort it by: the
// level itself, further on in the key where all texts agree, or nothing
// (false) when the run is equal throughout.
template <typename Refill>
bool settle_level(Span run, Level& level, Refill refill_at) {
  for (;;) {
    if (!reads_text(level.key)) {
      refill_at(level, nullptr, nullptr);
      return true;
    }
    const LevelText first = level_text(line_text(run.records[0].line), level.key);
    Agreement agreement;
    refill_at(level, &first, &agreement);
    if (agreement.common == kTextsEqual) {
      const TieRule rule = after_key(level.key);
      if (rule == TieRule::kEqual) return false;
      level = next_level(level, rule, first.text);
      continue;
    }
    if (agreement.common >= 8) {
      // Every text agrees with the first over these bytes: skip them at once.
      level = skip_shared(level, first.text, agreement.common);
      refill_at(level, nullptr, nullptr);
    }
    return true;
  }
}

void refine_runs(Engine& engine, Span span, Level level, int depth, Share share, std::size_t skip_above);

// Orders a run whose lines tie up to level, on this thread.
void refine_run(Engine& engine, Span run, Level level, int depth, Share share) {
  const auto refill_at = [&](Level at, const LevelText* first, Agreement* agreement) {
    refill(engine, run, at, first, agreement);
  };
  if (!settle_level(run, level, refill_at)) return;
  sort_records(run.records, run.n, share.buffer, share.capacity);
  refine_runs(engine, run, level, depth + 1, share, SIZE_MAX);
}

std::size_t run_end(const SortRecord* r, std::size_t begin, std::size_t end) {
  const std::uint64_t c = r[begin].cache;
  std::size_t i = begin + 1;
  while (i < end && r[i].cache == c) ++i;
  return i;
}

// Refines every run of tied caches in span (sorted by its caches at level)
// that holds at most skip_above records.
void refine_runs(Engine& engine, Span span, Level level, int depth, Share share, std::size_t skip_above) {
  // Most runs are a handful of lines that lie scattered in memory: their
  // lines are asked for a few runs ahead, so that the reads overlap.
  constexpr std::size_t kAhead = 24;
  SortRecord* const r = span.records;
  std::size_t asked = 0;
  for (std::size_t i = 0; i < span.n;) {
    for (const std::size_t until = std::min(i + kAhead, span.n); asked < until; ++asked) {
      __builtin_prefetch(line_data(r[asked].line));
    }
    const std::size_t j = run_end(r, i, span.n);
    if (j - i > 1 && j - i <= skip_above) {
      const TieRule rule = tie_rule(r[i].cache, level);
      const Span run{r + i, j - i};
      if (rule == TieRule::kCompare || (rule != TieRule::kEqual && depth >= kMaxRefineDepth)) {
        order_by_comparing(engine, run, Level{level.key, 0, false}, share);
      } else if (rule != TieRule::kEqual) {
        const Level next = deeper(r[i], level, rule);
        if (run.n <= kSmallRun) {
          order_small_run(engine, run, next, share);
        } else {
          refine_run(engine, run, next, depth, share);
        }
      }
    }
    i = j;
  }
}

// --- On every core ---------------------------------------------------------

struct ParallelRefill {
  Engine* engine;
  Span run;
  Level level;
  const LevelText* first;
  Agreement agreement[64];
};

void refill_part(int part, void* context) {
  auto& job = *static_cast<ParallelRefill*>(context);
  const int parts = job.engine->workers;
  const std::size_t begin = part_begin(job.run.n, parts, part), end = part_begin(job.run.n, parts, part + 1);
  job.agreement[part] = Agreement{};
  refill(*job.engine, Span{job.run.records + begin, end - begin}, job.level, job.first,
         job.first ? &job.agreement[part] : nullptr);
}

struct ParallelRuns {
  Engine* engine;
  Span span;
  Level level;
  int depth;
  int chunks;
  std::size_t chunk_begin[8 * 64 + 1];
  std::atomic<int> next_chunk{0};
};

// Each worker takes the next chunk of runs while any is left, with its own
// share of the buffer.
void refine_chunks(int worker, void* context) {
  auto& job = *static_cast<ParallelRuns*>(context);
  Engine& engine = *job.engine;
  const std::size_t capacity = engine.buffer_capacity / static_cast<std::size_t>(engine.workers);
  const Share share{engine.buffer + static_cast<std::size_t>(worker) * capacity, capacity};
  for (int c = job.next_chunk++; c < job.chunks; c = job.next_chunk++) {
    const std::size_t begin = job.chunk_begin[c], end = job.chunk_begin[c + 1];
    refine_runs(engine, Span{job.span.records + begin, end - begin}, job.level, job.depth, share, engine.big);
  }
}

void refine_runs_everywhere(Engine& engine, Span span, Level level, int depth);

// Orders a run whose lines tie up to level, on every core.
void refine_big(Engine& engine, Span run, Level level, int depth) {
  const auto refill_at = [&](Level at, const LevelText* first, Agreement* agreement) {
    ParallelRefill job{&engine, run, at, first, {}};
    run_parallel(engine.workers, refill_part, &job);
    if (agreement == nullptr) return;
    for (int p = 0; p < engine.workers; ++p) {
      if (job.agreement[p].common < agreement->common) agreement->common = job.agreement[p].common;
    }
  };
  if (!settle_level(run, level, refill_at)) return;
  sort_records_parallel(run.records, run.n, engine.buffer, engine.workers);
  refine_runs_everywhere(engine, run, level, depth + 1);
}

// Refines the runs of span: the small ones shared out among the workers,
// then each big one on every core.
void refine_runs_everywhere(Engine& engine, Span span, Level level, int depth) {
  SortRecord* const r = span.records;
  std::size_t big_begin[kMaxBigRuns], big_end[kMaxBigRuns];
  int bigs = 0;
  static_assert(kMaxBigRuns > 4 * 64, "the engine's big runs are at least n / (4 * workers)");
  for (std::size_t i = 0; i < span.n;) {
    const std::size_t j = run_end(r, i, span.n);
    if (j - i > engine.big && bigs < kMaxBigRuns) {
      big_begin[bigs] = i;
      big_end[bigs++] = j;
    }
    i = j;
  }
  static ParallelRuns job;  // large; runs one at a time
  job.engine = &engine;
  job.span = span;
  job.level = level;
  job.depth = depth;
  job.chunks = 8 * engine.workers;
  job.next_chunk = 0;
  job.chunk_begin[0] = 0;
  for (int c = 1; c < job.chunks; ++c) {
    std::size_t b = part_begin(span.n, job.chunks, c);
    if (b < job.chunk_begin[c - 1]) b = job.chunk_begin[c - 1];
    if (b > 0 && b < span.n) b = run_end(r, b - 1, span.n);  // no run is cut
    job.chunk_begin[c] = b;
  }
  job.chunk_begin[job.chunks] = span.n;
  run_parallel(engine.workers, refine_chunks, &job);
  const Share whole{engine.buffer, engine.buffer_capacity};
  for (int b = 0; b < bigs; ++b) {
    const Span run{r + big_begin[b], big_end[b] - big_begin[b]};
    const TieRule rule = tie_rule(run.records[0].cache, level);
    if (rule == TieRule::kCompare || (rule != TieRule::kEqual && depth >= kMaxRefineDepth)) {
      order_by_comparing(engine, run, Level{level.key, 0, false}, whole);
    } else if (rule != TieRule::kEqual) {
      refine_big(engine, run, deeper(run.records[0], level, rule), depth);
    }
  }
}

}  // namespace

void refine_all(Engine& engine, Level level) {
  if (engine.n > 1) refine_big(engine, Span{engine.records, engine.n}, level, 0);
}

}  // namespace qorla
