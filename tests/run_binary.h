// Running the built qorla binary, and other programs, from end-to-end tests.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qorla_test {

struct RunResult {
  std::string out;
  std::string err;
  int status = -1;  // exit status, or 128 + signal number
};

// How a program is started. Standard output and standard error are
// captured through pipes unless told otherwise; SIGPIPE has its default
// action, as when a shell starts the program.
struct RunOptions {
  std::string dir = {};          // working directory, when not empty
  std::string stdin_path = {};   // standard input from this file; /dev/null when empty
  std::string stdout_path = {};  // standard output into this file instead of captured
  bool close_stdout = false;
  // When not 0: read only this many bytes of standard output, then close
  // the reading end of its pipe, as a reader that stops early does.
  std::size_t stdout_read_limit = 0;
  long address_space_limit = 0;  // bytes; 0 = none
};

// Runs args[0] (a path, or a name looked up in PATH) with the arguments
// that follow it. A program that cannot be started exits with status 127.
RunResult run_program(const std::vector<std::string>& args, const RunOptions& options = {});

// Runs the built binary with args (argv[0] added).
RunResult run_qorla(const std::vector<std::string>& args, const RunOptions& options = {});

// A fresh temporary directory, removed by the destructor.
struct TempDir {
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string path;
  // Writes bytes to path/name and returns the full path.
  std::string write(const std::string& name, const std::string& bytes) const;
};

}  // namespace qorla_test
