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

// Copies between the table's lines and the records, on every core.
struct Conversion {
  const LineRef* lines_in;
  SortRecord* records;
  LineRef* lines_out;
  std::size_t n;
  int parts;
};

void to_records_part(int part, void* context) {
  const auto& job = *static_cast<Conversion*>(context);
  for (std::size_t i = part_begin(job.n, job.parts, part), end = part_begin(job.n, job.parts, part + 1); i < end; ++i) {
    job.records[i] = SortRecord{0, job.lines_in[i]};
  }
}

void to_lines_part(int part, void* context) {
  const auto& job = *static_cast<Conversion*>(context);
  for (std::size_t i = part_begin(job.n, job.parts, part), end = part_begin(job.n, job.parts, part + 1); i < end; ++i) {
    job.lines_out[i] = job.records[i].line;
  }
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
  const std::size_t records = n * sizeof(SortRecord), lines = n * sizeof(LineRef);
  const std::size_t buffer = parallel_sort_buffer(n, workers_for(n)) * sizeof(SortRecord);
  // The table is trimmed to its lines, then the records are made while it
  // is held, and the buffer and then the sorted lines while the records are.
  const std::size_t peak = records + std::max(buffer, lines);
  return {peak > held ? peak - held : 0, lines > held ? lines - held : 0};
}

const LineRef* sort_lines(LineTable& table) {
  const auto n = static_cast<std::size_t>(table.line_count);
  if (n == 0) return table.lines;
  Engine engine;
  engine.n = n;
  engine.workers = workers_for(n);
  // The table's room for lines still to come is given back first.
  table.lines = static_cast<LineRef*>(moremem(table.lines, n * sizeof(LineRef)));
  table.line_capacity = table.line_count;
  Conversion conversion{table.lines, static_cast<SortRecord*>(getmem(n * sizeof(SortRecord))), nullptr, n,
                        engine.workers};
  run_parallel(conversion.parts, to_records_part, &conversion);
  // The records hold the lines now: the table's array is given back before
  // the sort's own working memory is taken.
  freemem(table.lines);
  table.lines = nullptr;
  engine.records = conversion.records;
  engine.buffer_capacity = parallel_sort_buffer(n, engine.workers);
  engine.buffer = static_cast<SortRecord*>(getmem(engine.buffer_capacity * sizeof(SortRecord)));
  engine.big = std::max<std::size_t>(n / (4 * static_cast<std::size_t>(engine.workers)), 1);
  refine_all(engine, Level{});
  freemem(engine.buffer);
  conversion.lines_out = static_cast<LineRef*>(getmem(n * sizeof(LineRef)));
  run_parallel(conversion.parts, to_lines_part, &conversion);
  freemem(engine.records);
  if (engine.failed_number.load()) report_failed_numbers(conversion.lines_out, n);
  return conversion.lines_out;
}

}  // namespace qorla
