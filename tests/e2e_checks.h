// GoogleTest checks shared by the end-to-end tests: tables of whole runs,
// each checked against the output, messages and exit status it must give,
// and files read back. Header-only, as these need GoogleTest and the
// run_binary library does not link it.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "run_binary.h"

namespace qorla_test {

// The bytes of the file at path; a file that cannot be read fails the test.
inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot read " << path;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct File {
  std::string name;
  std::string bytes;
};

// One run: the files are written into a fresh directory and the binary is
// run there with args.
struct RunCase {
  const char* name;
  std::vector<File> files;
  std::vector<std::string> args;  // file names relative to that directory
  std::string out;
  std::string err = "";
  int status = 0;
};

// Names a case when it is the parameter of a failing test.
inline void PrintTo(const RunCase& c, std::ostream* os) { *os << c.name; }

// The start of a text, for messages about outputs that may be very long.
inline std::string excerpt(const std::string& text) {
  return ::testing::PrintToString(text.substr(0, 300));
}

inline void expect_run(const RunCase& c) {
  TempDir dir;
  for (const File& f : c.files) dir.write(f.name, f.bytes);
  const RunResult r = run_qorla(c.args, {.dir = dir.path});
  EXPECT_EQ(r.status, c.status);
  EXPECT_TRUE(r.out == c.out) << "stdout: " << excerpt(r.out) << "\n  expected: " << excerpt(c.out);
  EXPECT_TRUE(r.err == c.err) << "stderr: " << excerpt(r.err) << "\n  expected: " << excerpt(c.err);
}

inline void run_cases(const std::vector<RunCase>& cases) {
  for (const RunCase& c : cases) {
    SCOPED_TRACE(c.name);
    expect_run(c);
  }
}

}  // namespace qorla_test
