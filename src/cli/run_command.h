// The whole command: options, reading, sorting, output.
#pragma once

namespace qorla {

int run_command(int argc, char** argv);

}  // namespace qorla
