// Writing the result to standard output through one large buffer.
#pragma once

#include <cstddef>
#include <string_view>

#include "support/line_ref.h"

namespace qorla {

struct Output {
  int fd = 1;  // -1: a buffer of its own that its owner writes
  char* buffer = nullptr;
  std::size_t capacity = 0;
  std::size_t used = 0;
};

// Buffered write; a failed write reports "cannot write the output" and
// ends the process with status 1.
void output_bytes(Output& out, std::string_view bytes);
void output_flush(Output& out);

// Writes the lines in order: lines of nothing but blanks and tabs before
// their line feed are left out, a missing final line feed is added, and
// under uniq a line equal to the last printed one is dropped. Large outputs
// are formatted on every core, segment by segment, and written in order.
void write_lines(Output& out, const LineRef* lines, std::size_t count, bool uniq);

// The memory write_lines takes for count lines, besides out's own buffer.
std::size_t write_lines_memory(std::size_t count);

}  // namespace qorla
