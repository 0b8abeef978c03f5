// Micro-benchmarks of the ordering code, one operation per iteration over a
// sample of generated lines (the same generator as the command benchmark):
// key extraction (sort_prefix), comparison (comp on random pairs and on the
// prefix ties that reach it during a sort), case-insensitive collation
// (StrCmp) and numeric conversion (to_number).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "line_generator.h"
#include "order/collation.h"
#include "order/compare.h"
#include "order/key_values.h"
#include "order/settings.h"
#include "sort/sort_prefix.h"

namespace qorla::bench {
namespace {

constexpr std::size_t kSample = 1 << 15;  // lines; a power of two
constexpr std::size_t kMask = kSample - 1;

// Stored lines as the command keeps them: NUL-terminated, line feed kept.
const std::vector<std::string>& sample_lines() {
  static const std::vector<std::string> lines = [] {
    LineGenerator generator(42);
    std::vector<std::string> v(kSample);
    for (auto& line : v) generator.next_line(line);
    return v;
  }();
  return lines;
}

// Field no (1-based) of a generated line: its fields are single-blank
// separated.
std::string_view field(const std::string& line, int no) {
  std::size_t start = 0;
  for (int i = 1; i < no; ++i) start = line.find(' ', start) + 1;
  std::size_t end = line.find_first_of(" \n", start);
  return std::string_view(line).substr(start, end - start);
}

struct Workload {
  std::vector<KeySpec> keys;  // empty: whole lines
  bool fold_case = false;
};

KeySpec key(std::int16_t no, KeyType type, bool reverse = false) {
  return KeySpec{no, type, 0, kWholeField, static_cast<std::int16_t>(reverse ? 1 : 0)};
}

// The workloads, by the names the benchmarks carry after their own. Every
// one is timed for sort_prefix; those marked compared also for comp.
struct NamedWorkload {
  const char* name;
  Workload workload;
  bool compared;
};

const NamedWorkload kWorkloads[] = {
    {"whole_lines", {{}, false}, true},
    {"whole_lines_folded", {{}, true}, true},
    {"text_key_2", {{key(2, kText)}, false}, true},
    {"numeric_key_3", {{key(3, kNumeric)}, false}, true},
    {"two_keys_2_3nr", {{key(2, kText), key(3, kNumeric, true)}, false}, true},
    {"date_key_5", {{key(5, kDate)}, false}, true},
    {"time_key_6", {{key(6, kTime)}, false}, false},
    {"hex_key_7", {{key(7, kHex)}, false}, false},
};

// Sets the process-wide key table and options as the command line would.
void apply(const Workload& w) {
  reset_settings();
  for (const KeySpec& k : w.keys) sort[sort_cnt++] = k;
  ignore_case = w.fold_case ? 1 : 0;
}

// Times op(0), op(1), op(2), ... one call per iteration, and reports the
// calls as items.
template <typename Op>
void measure(benchmark::State& state, Op op) {
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(op(i++));
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void BM_SortPrefix(benchmark::State& state, const Workload& w) {
  apply(w);
  const auto& lines = sample_lines();
  measure(state, [&](std::size_t i) { return sort_prefix(lines[i & kMask].c_str()); });
}

// comp on random pairs: what a sort without cached prefixes would pay.
void BM_CompRandomPairs(benchmark::State& state, const Workload& w) {
  apply(w);
  const auto& lines = sample_lines();
  std::vector<std::pair<const char*, const char*>> pairs(kSample);
  Random rng(7);
  for (auto& p : pairs) p = {lines[rng.below(kSample)].c_str(), lines[rng.below(kSample)].c_str()};
  measure(state, [&](std::size_t i) {
    const auto& p = pairs[i & kMask];
    return comp(p.first, p.second);
  });
}

// comp on neighbours in the sorted sample whose first-level prefixes are
// equal: the comparisons that a prefix cannot decide, where a sort of these
// lines falls back to the line text. tie_share is the share of neighbours
// that tie.
void BM_CompPrefixTies(benchmark::State& state, const Workload& w) {
  apply(w);
  const auto& lines = sample_lines();
  std::vector<std::pair<std::uint64_t, const char*>> order;
  order.reserve(kSample);
  for (const auto& line : lines) order.emplace_back(sort_prefix(line.c_str()), line.c_str());
  std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first < b.first : comp(a.second, b.second) < 0;
  });
  std::vector<std::pair<const char*, const char*>> ties;
  for (std::size_t i = 1; i < order.size(); ++i) {
    if (order[i - 1].first == order[i].first) ties.emplace_back(order[i - 1].second, order[i].second);
  }
  if (ties.empty()) {
    state.SkipWithError("no prefix ties in the sample");
    return;
  }
  measure(state, [&](std::size_t i) {
    const auto& t = ties[i % ties.size()];
    return comp(t.first, t.second);
  });
  state.counters["tie_share"] = static_cast<double>(ties.size()) / static_cast<double>(kSample - 1);
}

// Registers the three benchmarks above for each workload, named
// <benchmark>/<workload> as BENCHMARK_CAPTURE would name them.
[[maybe_unused]] const bool kWorkloadBenchmarks = [] {
  const struct {
    const char* name;
    void (*run)(benchmark::State&, const Workload&);
    bool all_workloads;  // false: only those marked compared
  } benchmarks[] = {
      {"BM_SortPrefix", BM_SortPrefix, true},
      {"BM_CompRandomPairs", BM_CompRandomPairs, false},
      {"BM_CompPrefixTies", BM_CompPrefixTies, false},
  };
  for (const auto& b : benchmarks) {
    for (const NamedWorkload& w : kWorkloads) {
      if (b.all_workloads || w.compared) {
        benchmark::RegisterBenchmark((std::string(b.name) + "/" + w.name).c_str(), b.run, w.workload);
      }
    }
  }
  return true;
}();

// StrCmp cases: random pairs (differ early), a line against its upper-case
// copy (equal under folding: the whole line is scanned, Shift-JIS word
// included), and the same pairs with strcmp as the byte-order baseline.
enum class StrCase { kRandomPairs, kCaseOnly };

std::vector<std::pair<std::string, std::string>> string_pairs(StrCase c) {
  const auto& lines = sample_lines();
  std::vector<std::pair<std::string, std::string>> pairs(kSample);
  Random rng(11);
  for (std::size_t i = 0; i < kSample; ++i) {
    const std::string& a = lines[i];
    if (c == StrCase::kRandomPairs) {
      pairs[i] = {a, lines[rng.below(kSample)]};
    } else {
      std::string b = a;
      // Upper-case the ASCII letters only; the Shift-JIS bytes stay intact.
      for (char& ch : b) {
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
      }
      pairs[i] = {a, b};
    }
  }
  return pairs;
}

void BM_StrCmp(benchmark::State& state, StrCase c) {
  const auto pairs = string_pairs(c);
  measure(state, [&](std::size_t i) {
    const auto& p = pairs[i & kMask];
    return StrCmp(p.first.c_str(), p.second.c_str());
  });
}
BENCHMARK_CAPTURE(BM_StrCmp, random_pairs, StrCase::kRandomPairs);
BENCHMARK_CAPTURE(BM_StrCmp, line_vs_upper_case_copy, StrCase::kCaseOnly);

void BM_strcmp_baseline(benchmark::State& state, StrCase c) {
  auto pairs = string_pairs(c);
  // Identical copies, so that strcmp scans as far as StrCmp does.
  if (c == StrCase::kCaseOnly) {
    for (auto& p : pairs) p.second = p.first;
  }
  measure(state, [&](std::size_t i) {
    const auto& p = pairs[i & kMask];
    return std::strcmp(p.first.c_str(), p.second.c_str());
  });
}
BENCHMARK_CAPTURE(BM_strcmp_baseline, random_pairs, StrCase::kRandomPairs);
BENCHMARK_CAPTURE(BM_strcmp_baseline, line_vs_identical_copy, StrCase::kCaseOnly);

// to_number on the integer field, the decimal field, and decimals written
// with an exponent (the exact slow path); strtod on the same texts for
// comparison.
enum class NumberCase { kIntegers, kDecimals, kExponents };

std::vector<std::string> number_texts(NumberCase c) {
  const auto& lines = sample_lines();
  std::vector<std::string> texts(kSample);
  for (std::size_t i = 0; i < kSample; ++i) {
    switch (c) {
      case NumberCase::kIntegers: texts[i] = field(lines[i], 3); break;
      case NumberCase::kDecimals: texts[i] = field(lines[i], 4); break;
      case NumberCase::kExponents: texts[i] = std::string(field(lines[i], 4)) + "e-3"; break;
    }
  }
  return texts;
}

void BM_ToNumber(benchmark::State& state, NumberCase c) {
  const auto texts = number_texts(c);
  measure(state, [&](std::size_t i) { return to_number(texts[i & kMask]).value; });
}
BENCHMARK_CAPTURE(BM_ToNumber, integers, NumberCase::kIntegers);
BENCHMARK_CAPTURE(BM_ToNumber, decimals, NumberCase::kDecimals);
BENCHMARK_CAPTURE(BM_ToNumber, exponents, NumberCase::kExponents);

void BM_strtod_baseline(benchmark::State& state, NumberCase c) {
  const auto texts = number_texts(c);
  measure(state, [&](std::size_t i) { return std::strtod(texts[i & kMask].c_str(), nullptr); });
}
BENCHMARK_CAPTURE(BM_strtod_baseline, integers, NumberCase::kIntegers);
BENCHMARK_CAPTURE(BM_strtod_baseline, decimals, NumberCase::kDecimals);
BENCHMARK_CAPTURE(BM_strtod_baseline, exponents, NumberCase::kExponents);

}  // namespace
}  // namespace qorla::bench
