// Options and +<field> key specifications, read left to right.
#pragma once

namespace qorla {

// main's own settings; the process-wide ones (key table, -t, -i, -v) live
// in order/settings.h.
struct Options {
  int join_flag = 0;    // -J
  int uniq_flag = 0;    // -u
  int cut_first = 0;    // -c n1; 0 keeps lines whole
  int cut_last = 9999;  // -c n2; 9999 = to the last field
  int first_file = 0;   // argv index of the first file operand (argc if none)
};

// Parses argv[1..argc-1] up to the first file operand and applies the -v
// pass. The first error is reported and ends the process with status 1.
Options parse_command_line(int argc, char** argv);

// atoi as the command line reads numbers: leading white space, one
// optional sign, decimal digits; wraps modulo 2^32; no digits gives 0.
int parse_int(const char* text);

}  // namespace qorla
