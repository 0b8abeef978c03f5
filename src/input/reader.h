// Reading the file operands into the line table.
#pragma once

#include <string_view>

#include "order/settings.h"
#include "input/input_file.h"
#include "input/line_table.h"

namespace qorla {

constexpr std::size_t kReadBufferSize = 4096;  // one line, joined pieces included

// Reads every line of an open file into table, joining under -J and cutting
// under -c. Ends the process on an over-long line or a read error (name is
// the file name as given).
void read_lines(InputFile& file, const char* name, const Options& options, LineTable& table);

// Reads argv[first_file..argc-1] in order; a file that cannot be opened is
// reported with "not found" and skipped.
void read_files(int argc, char** argv, const Options& options, LineTable& table);

}  // namespace qorla
