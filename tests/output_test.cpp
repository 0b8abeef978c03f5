// What the command writes: blank lines, line ends, -u, joined lines, and
// the ways writing the output can fail.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "run_binary.h"

namespace {

using qorla_test::RunOptions;
using qorla_test::RunResult;
using qorla_test::run_qorla;
using qorla_test::TempDir;

struct File {
  std::string name;
  std::string bytes;
};

struct Case {
  const char* name;
  std::vector<File> files;
  std::vector<std::string> args;  // file names relative to the temporary directory
  std::string out;
  std::string err = "";
  int status = 0;
};

void run_cases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    for (const File& f : c.files) dir.write(f.name, f.bytes);
    RunOptions options;
    options.dir = dir.path;
    const RunResult r = run_qorla(c.args, options);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.status, c.status);
  }
}

TEST(Output, BlankLinesAndLineEnds) {
  run_cases({
      {"lines of blanks and tabs before the line feed are never printed",
       {{"a", "b\n\n  \t\nA\n \n\t\n"}}, {"a"}, "A\nb\n"},
      {"... nor under -u", {{"a", "b\n\n  \t\nA\n \n\t\n"}}, {"-u", "a"}, "A\nb\n"},
      {"only blank lines: nothing", {{"a", "\n \n\t\t\n"}}, {"a"}, ""},
      {"a last line of blanks without a line feed is printed with one",
       {{"a", "x\n  "}}, {"a"}, "  \nx\n"},
      {"a last line of one tab without a line feed", {{"a", "x\n\t"}}, {"-u", "a"}, "\t\nx\n"},
      {"a missing final line feed is added", {{"a", "b\na"}}, {"a"}, "a\nb\n"},
      {"each file's last line gets its line feed", {{"a", "d\nc"}, {"b", "b\na"}}, {"a", "b"},
       "a\nb\nc\nd\n"},
      {"a blank looking line with other white space is printed",
       {{"a", "\r\n\v\nb\n"}}, {"a"}, "\v\nb\n"},
  });
}

TEST(Output, UniqueLines) {
  run_cases({
      {"three identical lines print once", {{"a", "c\nc\nb\nc\n"}}, {"-u", "a"}, "b\nc\n"},
      {"without -u all are printed", {{"a", "c\nc\nb\nc\n"}}, {"a"}, "b\nc\nc\nc\n"},
      // With key 2 every line lacks the field, so all compare equal and stay
      // in input order; the blank lines between the copies of "a" do not
      // become the previous line.
      {"blank lines between duplicates", {{"a", "a\n\na\n  \na\n"}}, {"-u", "+2", "a"}, "a\n"},
      {"blank lines between duplicates, without -u", {{"a", "a\n\na\n  \na\n"}}, {"+2", "a"},
       "a\na\na\n"},
      {"a different line between duplicates keeps both", {{"a", "a\nb\na\n"}}, {"-u", "+2", "a"},
       "a\nb\na\n"},
      {"last line without a line feed differs from the same text with one",
       {{"a", "b\nb"}}, {"-u", "a"}, "b\nb\n"},
      {"... also across files", {{"a", "b"}, {"b", "b\n"}}, {"-u", "a", "b"}, "b\nb\n"},
      {"both with line feeds print once", {{"a", "b\n"}, {"b", "b\n"}}, {"-u", "a", "b"}, "b\n"},
      // -i makes them equal for sorting, so they keep input order, but -u
      // compares bytes.
      {"-u -i prints ALPHA and alpha", {{"a", "ALPHA\nalpha\n"}}, {"-u", "-i", "a"},
       "ALPHA\nalpha\n"},
      {"-u -i, input order decides what is adjacent", {{"a", "alpha\nALPHA\nalpha\n"}},
       {"-iu", "a"}, "alpha\nALPHA\nalpha\n"},
      {"-u -i, adjacent copies drop", {{"a", "alpha\nalpha\nALPHA\nbeta\n"}}, {"-iu", "a"},
       "alpha\nALPHA\nbeta\n"},
  });
}

TEST(Output, EmptyStringsFromCutting) {
  // -c 2 cuts "one" and "two" (a single field each) down to the empty
  // string and "x b" to "b".
  const File f{"a", "one\nx b\ntwo\n"};
  run_cases({
      {"empty strings print as empty lines", {f}, {"-c", "2", "a"}, "\n\nb\n"},
      {"-u drops empty strings before any printed line", {f}, {"-u", "-c", "2", "a"}, "b\n"},
      {"-u prints one empty line after a printed line", {f}, {"-uv", "-c", "2", "a"}, "b\n\n"},
      {"-v without -u", {f}, {"-v", "-c", "2", "a"}, "b\n\n\n"},
      // -c 1 turns a line of blanks into the empty string, which is printed.
      {"a line of blanks cut to nothing", {{"a", "  \nb\n"}}, {"-c", "1", "a"}, "\nb\n"},
      // -c 3-4 on a last line of fewer fields without a line feed gives a
      // line feed alone: a blank line, never printed.
      {"a line feed alone from cutting", {{"a", "p q r\np q"}}, {"-c", "3-4", "a"}, "r\n"},
  });
}

TEST(Output, JoinedLines) {
  run_cases({
      {"joined lines print with their backslashes and line feeds",
       {{"a", "b\\\nzz\na\\\nq"}}, {"-J", "a"}, "a\\\nq\nb\\\nzz\n"},
      {"without -J the pieces are lines of their own", {{"a", "b\\\nzz\na\\\nq"}}, {"a"},
       "a\\\nb\\\nq\nzz\n"},
      {"a join still open at the end of the file", {{"a", "n\nm\\\n"}}, {"-J", "a"}, "m\\\nn\n"},
      {"a blank continuation is printed inside its joined line", {{"a", "b\na\\\n\n"}},
       {"-J", "a"}, "a\\\n\nb\n"},
      {"a joined line beginning with blanks is not blank", {{"a", "  \\\nx\nb\n"}}, {"-J", "a"},
       "  \\\nx\nb\n"},
      {"-J -u drops a repeated joined line", {{"a", "k\\\nv\nk\\\nv\nk\\\nw\n"}}, {"-Ju", "a"},
       "k\\\nv\nk\\\nw\n"},
  });
}

TEST(Output, EmptyTable) {
  run_cases({
      {"no file operand", {}, {"-u"}, ""},
      {"no file operand, with a key", {}, {"+1n", "-v"}, ""},
      {"only missing files", {}, {"nofile", "other"}, "", "nofile: not found\nother: not found\n"},
      {"an empty file", {{"a", ""}}, {"a"}, ""},
  });
}

// Lines "0000000\n" ... in a shuffled order, and their sorted text.
std::pair<std::string, std::string> numbered_lines(int count) {
  std::vector<int> order(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) order[static_cast<std::size_t>(i)] = i;
  std::shuffle(order.begin(), order.end(), std::mt19937(5u));
  auto line = [](int i) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%07d\n", i);
    return std::string(buf);
  };
  std::string input, sorted;
  for (const int i : order) input += line(i);
  for (int i = 0; i < count; ++i) sorted += line(i);
  return {input, sorted};
}

std::string read_whole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(Output, LargeOutputIsComplete) {
  // Several megabytes: the output crosses many buffer boundaries.
  TempDir dir;
  const auto [input, sorted] = numbered_lines(400000);
  const std::string in = dir.write("in", input);
  const RunResult piped = run_qorla({in});
  EXPECT_EQ(piped.status, 0);
  EXPECT_EQ(piped.err, "");
  EXPECT_TRUE(piped.out == sorted) << "piped output differs; sizes " << piped.out.size() << " and "
                                   << sorted.size();
  RunOptions to_file;
  to_file.stdout_path = dir.path + "/out";
  const RunResult filed = run_qorla({in}, to_file);
  EXPECT_EQ(filed.status, 0);
  EXPECT_EQ(filed.err, "");
  EXPECT_TRUE(read_whole(dir.path + "/out") == sorted);
}

TEST(Output, WriteFailures) {
  TempDir dir;
  const std::string in = dir.write("in", "b\na\n");
  {
    SCOPED_TRACE("/dev/full");
    RunOptions options;
    options.stdout_path = "/dev/full";
    const RunResult r = run_qorla({in}, options);
    EXPECT_EQ(r.err, "cannot write the output\n");
    EXPECT_EQ(r.status, 1);
  }
  {
    SCOPED_TRACE("/dev/full with a large output");
    const std::string big = dir.write("big", numbered_lines(300000).first);
    RunOptions options;
    options.stdout_path = "/dev/full";
    const RunResult r = run_qorla({"-u", big}, options);
    EXPECT_EQ(r.err, "cannot write the output\n");
    EXPECT_EQ(r.status, 1);
  }
  {
    SCOPED_TRACE("standard output closed");
    RunOptions options;
    options.close_stdout = true;
    const RunResult r = run_qorla({in}, options);
    EXPECT_EQ(r.err, "cannot write the output\n");
    EXPECT_EQ(r.status, 1);
    // The input file must not have taken the place of standard output.
    EXPECT_EQ(read_whole(in), "b\na\n");
  }
  {
    SCOPED_TRACE("nothing to write fails nothing");
    const std::string blank = dir.write("blank", "\n  \n");
    RunOptions options;
    options.stdout_path = "/dev/full";
    const RunResult r = run_qorla({blank}, options);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
  }
}

// Runs the binary with standard output into a pipe whose reader takes a few
// bytes and closes its end. Returns the status (128 + signal when killed)
// and what the binary wrote to stderr.
std::pair<int, std::string> run_into_closed_pipe(const std::vector<std::string>& args) {
  int out_pipe[2], err_pipe[2];
  if (::pipe(out_pipe) != 0 || ::pipe(err_pipe) != 0) return {-1, "pipe failed"};
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(QORLA_BINARY));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::signal(SIGPIPE, SIG_DFL);  // as a shell starts a pipeline's commands
    ::dup2(out_pipe[1], 1);
    ::dup2(err_pipe[1], 2);
    ::close(out_pipe[0]);
    ::close(out_pipe[1]);
    ::close(err_pipe[0]);
    ::close(err_pipe[1]);
    ::execv(QORLA_BINARY, argv.data());
    ::_exit(127);
  }
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  char head[100];
  std::size_t got = 0;
  while (got < sizeof head) {
    const ssize_t n = ::read(out_pipe[0], head + got, sizeof head - got);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(out_pipe[0]);
  std::string err;
  char chunk[4096];
  ssize_t n;
  while ((n = ::read(err_pipe[0], chunk, sizeof chunk)) > 0) err.append(chunk, static_cast<std::size_t>(n));
  ::close(err_pipe[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), err};
}

TEST(Output, ClosedPipeEndsQuietly) {
  TempDir dir;
  const std::string big = dir.write("big", numbered_lines(400000).first);  // about 3 MB out
  const auto [status, err] = run_into_closed_pipe({big});
  EXPECT_TRUE(status == 128 + SIGPIPE || status == 0) << "status " << status;
  EXPECT_EQ(err, "");
}

}  // namespace
