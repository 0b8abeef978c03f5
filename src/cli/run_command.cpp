#include "cli/run_command.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "cli/command_line.h"
#include "cli/help_output.h"
#include "cli/usage_text.h"
#include "input/line_table.h"
#include "input/reader.h"
#include "output/output.h"
#include "sort/sort_lines.h"
#include "support/memory.h"

namespace qorla {

namespace {

constexpr std::size_t kOutputBufferSize = std::size_t{1} << 20;

// The run's memory lives until the process ends; keeping it reachable from
// static storage says so to leak checkers.
LineTable table;
const LineRef* sorted = nullptr;
Output out;

// A closed standard descriptor would be taken by the first file opened.
// Standard output is held by a read-only descriptor instead, so that any
// write to it fails and is reported.
void hold_standard_descriptors() {
  const int modes[3] = {O_RDONLY, O_RDONLY, O_WRONLY};
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) == -1) {
      const int held = ::open("/dev/null", modes[fd]);
      if (held >= 0 && held != fd) {
        ::dup2(held, fd);
        ::close(held);
      }
    }
  }
}

Output make_output() {
  Output made;
  made.buffer = static_cast<char*>(getmem(kOutputBufferSize));
  made.capacity = kOutputBufferSize;
  return made;
}

// Once the lines are read, the memory that sorting and writing them will
// take is known: a run that cannot have it stops now, with the memory
// message, rather than halfway through.
void stop_unless_the_rest_fits(const LineTable& lines) {
  const SortPlan plan = plan_sort(lines);
  const std::size_t output = kOutputBufferSize + write_lines_memory(static_cast<std::size_t>(lines.line_count));
  const std::size_t peak = std::max(plan.peak, plan.kept + output);
  if (!memory_fits(peak)) getmem_failed(peak);
}

// Writes text to standard output and ends the run with status 0 (a failed
// write reports itself and gives status 1).
int write_text(const std::string& text) {
  out = make_output();
  output_bytes(out, text);
  output_flush(out);
  return 0;
}

}  // namespace

int run_command(int argc, char** argv) {
  hold_standard_descriptors();
  // Each of these counts only as the one argument; with others it is a
  // flag cluster like any argument that begins with '-'.
  if (argc == 2 && (std::strcmp(argv[1], "-usage") == 0 || std::strcmp(argv[1], "--help") == 0)) {
    return write_text(help_for_stdout());
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) return write_text(version_text());
  if (argc <= 1) {
    std::fprintf(stderr, "%s\n", usage_text[kUsageLine]);
    return 1;
  }
  const Options options = parse_command_line(argc, argv);
  create_table(table);
  read_files(argc, argv, options, table);
  stop_unless_the_rest_fits(table);
  sorted = sort_lines(table);
  out = make_output();
  write_lines(out, sorted, static_cast<std::size_t>(table.line_count), options.uniq_flag != 0);
  output_flush(out);
  return 0;
}

}  // namespace qorla
