// The whole run in process: random settings and keys, random file bytes,
// reading, sorting and output into an in-memory file, now and then under a
// small allocation limit. The output is compared with the stored lines put
// in order by a plain stable sort with comp, blank lines left out and
// repeats dropped under -u; a run that stops must stop with status 1 and a
// known message before anything is written.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "sort/float_error.h"
#include "input/input_file.h"
#include "input/line_table.h"
#include "output/output.h"
#include "input/reader.h"
#include "sort/sort_lines.h"
#include "fuzz_support.h"
#include "order/compare.h"
#include "order/settings.h"
#include "support/memory.h"

namespace {

struct Run {
  qorla::InputFile* file;
  const qorla::Options* options;
  qorla::LineTable* table;
  qorla::Output* out;
  const qorla::LineRef* sorted;
  bool reading_done;
  std::vector<std::string> stored;  // the lines as read, in input order
};

char input_buffer[1 << 20];
char output_buffer[1 << 16];

void read_key(qorla_fuzz::Reader& in, qorla::KeySpec& key) {
  static const std::int16_t kTypes[] = {qorla::kText, qorla::kHex, qorla::kNumeric, qorla::kTime,
                                        qorla::kDate};
  const std::uint8_t a = in.byte(), b = in.byte();
  key.no = static_cast<std::int16_t>(1 + (a & 3));
  key.type = kTypes[(a >> 2) % 5];
  key.rev = (a >> 7) & 1;
  key.pos = static_cast<std::int16_t>(b & 3);
  key.len = (b & 0x80) ? qorla::kWholeField : static_cast<std::int16_t>(1 + ((b >> 2) & 7));
}

bool is_blank(const std::string& line) {
  const std::size_t i = line.find_first_not_of(" \t");
  return i != std::string::npos && line[i] == '\n';
}

bool known_stop_message(const std::string& err) {
  if (err.size() > 30 && err.compare(err.size() - 30, 30, " \nError: too long line found!\n") == 0) return true;
  if (err == "cannot get memory\n") return true;
  const std::string getmem_prefix = "\ncannot get the memory of ";
  const std::string moremem_prefix = "cannot get the memory of ";
  return err.compare(0, getmem_prefix.size(), getmem_prefix) == 0 ||
         err.compare(0, moremem_prefix.size(), moremem_prefix) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const int in_fd = qorla_fuzz::make_memory_file("pipeline-input");
  static const int out_fd = qorla_fuzz::make_memory_file("pipeline-output");
  qorla_fuzz::Reader in{data, size};
  const std::uint8_t flags = in.byte(), more = in.byte();
  qorla::reset_settings();
  qorla::Options options;
  options.join_flag = flags & 1;
  options.uniq_flag = (flags >> 1) & 1;
  qorla::ignore_case = (flags >> 2) & 1;
  qorla::rev_flag = (flags >> 3) & 1;
  if (flags & 16) qorla::field_separator = in.byte();
  if (flags & 32) {
    options.cut_first = 1 + (more & 3);
    if (more & 4) options.cut_last = options.cut_first + ((more >> 3) & 3);
  }
  qorla::sort_cnt = (flags >> 6) & 3;
  for (int k = 0; k < qorla::sort_cnt; ++k) read_key(in, qorla::sort[k]);
  // Now and then a small allocation limit, to stop the run in one of the
  // memory routines.
  const std::size_t limit = (more & 0x60) == 0x60 ? std::size_t{1} << (8 + in.byte() % 18) : 0;
  const std::size_t output_capacity = 1 + (in.u16() % sizeof output_buffer);
  const std::string_view contents = in.rest();
  if ((more & 0x80) && qorla::sort_cnt > 0 && std::count(contents.begin(), contents.end(), '\n') <= 16) {
    // A full table of 256 keys, the keys given over and over, on a few
    // lines (every comparison may walk all 256 keys).
    for (int k = qorla::sort_cnt; k < qorla::kMaxKeys; ++k) qorla::sort[k] = qorla::sort[k % qorla::sort_cnt];
    qorla::sort_cnt = qorla::kMaxKeys;
  }
  if (qorla::rev_flag) {
    for (qorla::KeySpec& key : qorla::sort) key.rev = key.rev == 0 ? 1 : 0;
  }

  qorla_fuzz::set_memory_file(in_fd, contents);
  qorla_fuzz::set_memory_file(out_fd, "");
  qorla::fpe_flag = 0;
  qorla::fpe_warned = 0;

  qorla::InputFile file;
  file.fd = in_fd;
  file.buffer = input_buffer;
  file.capacity = sizeof input_buffer;
  qorla::Output out;
  out.fd = out_fd;
  out.buffer = output_buffer;
  out.capacity = output_capacity;
  // Without a limit one table serves every input (a fresh 8 MiB text block
  // per input would cost more than the run); the lines of the last input are
  // dropped and their storage used again. Under a limit the table is made
  // afresh, so that its allocations meet the limit.
  static qorla::LineTable shared;
  static char* block_start = nullptr;
  static char* block_end = nullptr;
  static qorla::LineTable fresh;
  fresh = qorla::LineTable{};
  qorla::LineTable& table = limit == 0 ? shared : fresh;
  if (limit == 0) {
    // The sort gives the table's array back: a new one for every input.
    qorla::create_table(shared);
    if (block_start == nullptr) {
      block_start = qorla::reserve_line(shared, 0);
      block_end = shared.block_end;
    }
    shared.block_next = block_start;
    shared.block_end = block_end;
  }
  // Now and then the input is mapped, so that lines stay where they stand.
  if ((more >> 3) & 1) qorla::load_whole(file, "input");
  static Run run;
  run = Run{&file, &options, &table, &out, nullptr, false, {}};

  qorla::set_allocation_limit_for_testing(limit);
  qorla_fuzz::StderrCapture capture;
  const int status = qorla_fuzz::run_trapping_exit(
      [](void* context) {
        auto& r = *static_cast<Run*>(context);
        if (r.table->lines == nullptr) qorla::create_table(*r.table);
        qorla::read_lines(*r.file, "input", *r.options, *r.table);
        r.reading_done = true;
        for (std::int32_t i = 0; i < r.table->line_count; ++i) r.stored.emplace_back(qorla::line_text(r.table->lines[i]));
        r.sorted = qorla::sort_lines(*r.table);
        qorla::write_lines(*r.out, r.sorted, static_cast<std::size_t>(r.table->line_count),
                           r.options->uniq_flag != 0);
        qorla::output_flush(*r.out);
      },
      &run);
  std::string err = capture.finish();
  qorla::set_allocation_limit_for_testing(0);
  const std::string output = qorla_fuzz::read_memory_file(out_fd);

  if (status != -1) {
    FUZZ_CHECK(status == 1);
    FUZZ_CHECK(output.empty());
    FUZZ_CHECK(known_stop_message(err));
    // Only the memory routines stop a run once reading is over, and only
    // under a limit.
    if (run.reading_done) FUZZ_CHECK(limit != 0);
  } else {
    // The reference: a plain stable sort of the stored lines with comp.
    std::vector<const char*> order;
    for (const std::string& s : run.stored) order.push_back(s.c_str());
    std::stable_sort(order.begin(), order.end(),
                     [](const char* a, const char* b) { return qorla::comp(a, b) < 0; });
    std::string expected, previous;
    for (const char* p : order) {
      const std::string line(p);
      if (is_blank(line)) continue;
      if (options.uniq_flag) {
        if (line == previous) continue;
        previous = line;
      }
      expected += line;
      if (line.empty() || line.back() != '\n') expected += '\n';
    }
    FUZZ_CHECK(output == expected);
    // The only other message of a complete run: a consulted numeric key
    // that does not fit single precision.
    FUZZ_CHECK(err.empty() || err == "floating data error\n");
    if (!err.empty()) FUZZ_CHECK(qorla::has_numeric_key());
  }
  // The sort's own working memory stays allocated, as in the program, which
  // never gives memory back (leak detection is off for the fuzz runs).
  if (limit == 0) {
    // Inputs are too short to fill the first block.
    FUZZ_CHECK(shared.block_end == block_end);
  } else {
    // Inputs are too short to need a second block.
    if (fresh.block_end != nullptr) qorla::freemem(fresh.block_end - qorla::kLineBlockSize);
    qorla::freemem(fresh.lines);
  }
  return 0;
}
