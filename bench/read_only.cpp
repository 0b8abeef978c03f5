// The reading phase of qorla alone: parses the same command line, reads
// every file operand into the line table exactly as the command does, and
// prints the number of stored lines. Nothing is sorted or written, so the
// time and memory of this program are those of reading and storing.
#include <cstdio>

#include "cli/command_line.h"
#include "input/line_table.h"
#include "input/reader.h"

int main(int argc, char** argv) {
  const qorla::Options options = qorla::parse_command_line(argc, argv);
  qorla::LineTable table;
  qorla::create_table(table);
  qorla::read_files(argc, argv, options, table);
  std::printf("%d\n", static_cast<int>(table.line_count));
  return 0;
}
