// What the command writes: blank lines, line ends, -u, joined lines, and
// the ways writing the output can fail.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "e2e_checks.h"
#include "run_binary.h"

namespace {

using qorla_test::File;
using qorla_test::read_file;
using qorla_test::run_cases;
using qorla_test::RunResult;
using qorla_test::run_qorla;
using qorla_test::TempDir;

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
  const RunResult filed = run_qorla({in}, {.stdout_path = dir.path + "/out"});
  EXPECT_EQ(filed.status, 0);
  EXPECT_EQ(filed.err, "");
  EXPECT_TRUE(read_file(dir.path + "/out") == sorted);
}

TEST(Output, WriteFailures) {
  TempDir dir;
  const std::string in = dir.write("in", "b\na\n");
  {
    SCOPED_TRACE("/dev/full");
    const RunResult r = run_qorla({in}, {.stdout_path = "/dev/full"});
    EXPECT_EQ(r.err, "cannot write the output\n");
    EXPECT_EQ(r.status, 1);
  }
  {
    SCOPED_TRACE("/dev/full with a large output");
    const std::string big = dir.write("big", numbered_lines(300000).first);
    const RunResult r = run_qorla({"-u", big}, {.stdout_path = "/dev/full"});
    EXPECT_EQ(r.err, "cannot write the output\n");
    EXPECT_EQ(r.status, 1);
  }
  {
    SCOPED_TRACE("standard output closed");
    const RunResult r = run_qorla({in}, {.close_stdout = true});
    EXPECT_EQ(r.err, "cannot write the output\n");
    EXPECT_EQ(r.status, 1);
    // The input file must not have taken the place of standard output.
    EXPECT_EQ(read_file(in), "b\na\n");
  }
  {
    SCOPED_TRACE("nothing to write fails nothing");
    const std::string blank = dir.write("blank", "\n  \n");
    const RunResult r = run_qorla({blank}, {.stdout_path = "/dev/full"});
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
  }
}

TEST(Output, ClosedPipeEndsQuietly) {
  TempDir dir;
  const std::string big = dir.write("big", numbered_lines(400000).first);  // about 3 MB out
  // Standard output goes into a pipe whose reader takes a few bytes and
  // closes its end.
  const RunResult r = run_qorla({big}, {.stdout_read_limit = 100});
  EXPECT_TRUE(r.status == 128 + SIGPIPE || r.status == 0) << "status " << r.status;
  EXPECT_EQ(r.err, "");
}

}  // namespace
