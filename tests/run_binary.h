// Running the built qorla binary from end-to-end tests.
#pragma once

#include <string>
#include <vector>

namespace qorla_test {

struct RunResult {
  std::string out;
  std::string err;
  int status = -1;  // exit status, or 128 + signal number
};

// Runs the binary with args (argv[0] added), stdin from /dev/null, in dir
// when it is not empty. Extra shell-free options: stdout_path redirects
// standard output to a file instead of capturing it.
struct RunOptions {
  std::string dir;
  std::string stdout_path;
  bool close_stdout = false;
  long address_space_limit = 0;  // bytes; 0 = none
};

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
