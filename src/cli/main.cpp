#include "cli/run_command.h"

int main(int argc, char** argv) { return qorla::run_command(argc, argv); }
