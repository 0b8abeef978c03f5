#include "sort/sort_lines.h"

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "order/compare.h"
#include "sort/float_error.h"
#include "sort/refine.h"
#include "support/memory.h"
#include "support/parallel.h"

namespace qorla {

namespace {

constexpr int kMaxWorkers = 64;

// Turns the table's array of lines into records in the same memory, grown
// to twice its size: record i (16 bytes at 16i) covers lines 2i and 2i+1,
// which lie at or after line i, so walking down from the last line reads
// every line before its place is written.
SortRecord* to_records(LineTable& table, std::size_t n) {
  auto* bytes = static_cast<char*>(moremem(table.lines, n * sizeof(SortRecord)));
  for (std::size_t i = n; i-- > 0;) {
    LineRef line;
    std::memcpy(&line, bytes + i * sizeof(LineRef), sizeof line);
    const SortRecord record{0, line};
    std::memcpy(bytes + i * sizeof(SortRecord), &record, sizeof record);
  }
  auto* records = reinterpret_cast<SortRecord*>(bytes);
  table.lines = nullptr;
  return records;
}

// Rewrites the sorted records as lines in the same memory: line i (8 bytes
// at 8i) never reaches record i+1 (at 16i+16).
const LineRef* to_lines(SortRecord* records, std::size_t n) {
  auto* out = static_cast<LineRef*>(static_cast<void*>(records));
  for (std::size_t i = 0; i < n; ++i) {
    const LineRef line = records[i].line;
    std::memcpy(static_cast<void*>(out + i), &line, sizeof line);
  }
  return out;
}

void report_failed_numbers(const LineRef* sorted, std::size_t n) {
  // A failed key consulted by any comparison is also consulted by one of
  // two lines next to each other in the result, so this finds it whatever
  // pairs the sort happened to compare.
  for (std::size_t i = 1; i < n; ++i) {
    CompareTrace trace;
    comp_keys(line_text(sorted[i - 1]), line_text(sorted[i]), 0, &trace);
    if (trace.numeric_failure_consulted) {
      sigfpe(SIGFPE);
      return;
    }
  }
}

int workers_for(std::size_t n) {
  if (n < (std::size_t{1} << 16)) return 1;
  return std::min(worker_count(), kMaxWorkers);
}

}  // namespace

SortPlan plan_sort(const LineTable& table) {
  const auto n = static_cast<std::size_t>(table.line_count);
  if (n == 0) return {0, 0};
  const std::size_t held = static_cast<std::size_t>(table.line_capacity) * sizeof(LineRef);
  const std::size_t records = n * sizeof(SortRecord);
  return {records > held ? records - held : 0, parallel_sort_buffer(n, workers_for(n)) * sizeof(SortRecord)};
}

const LineRef* sort_lines(LineTable& table) {
  const auto n = static_cast<std::size_t>(table.line_count);
  if (n == 0) return table.lines;
  Engine engine;
  engine.n = n;
  engine.workers = workers_for(n);
  engine.records = to_records(table, n);
  engine.buffer_capacity = parallel_sort_buffer(n, engine.workers);
  engine.buffer = static_cast<SortRecord*>(getmem(engine.buffer_capacity * sizeof(SortRecord)));
  engine.big = std::max<std::size_t>(n / (4 * static_cast<std::size_t>(engine.workers)), 1);
  refine_all(engine, Level{});
  freemem(engine.buffer);
  const LineRef* sorted = to_lines(engine.records, n);
  if (engine.failed_number.load()) report_failed_numbers(sorted, n);
  return sorted;
}

}  // namespace qorla
