// Options and +<field> key specifications, read left to right.
#pragma once

#include "order/settings.h"

namespace qorla {

// Parses argv[1..argc-1] up to the first file operand and applies the -v
// pass. The first error is reported and ends the process with status 1.
Options parse_command_line(int argc, char** argv);

// atoi as the command line reads numbers: leading white space, one
// optional sign, decimal digits; wraps modulo 2^32; no digits gives 0.
int parse_int(const char* text);

}  // namespace qorla
