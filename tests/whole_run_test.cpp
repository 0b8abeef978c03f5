// Whole runs that combine options: several files, keys of every type,
// cutting, reversal, joining, Shift-JIS text, numeric failures, stability.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "e2e_checks.h"
#include "run_binary.h"

namespace {

using qorla_test::File;
using qorla_test::run_cases;
using qorla_test::RunResult;
using qorla_test::run_qorla;
using qorla_test::TempDir;

TEST(WholeRun, SeveralFilesWithMissingOnes) {
  run_cases({
      {"a missing file between two readable ones",
       {{"a", "pear\nfig\n"}, {"b", "apple\nkiwi"}}, {"a", "nofile", "b"},
       "apple\nfig\nkiwi\npear\n", "nofile: not found\n"},
      {"missing files first and last, reported in order",
       {{"a", "b\na\n"}}, {"x1", "a", "x2"}, "a\nb\n", "x1: not found\nx2: not found\n"},
      {"an empty file name", {{"a", "b\n"}}, {"a", ""}, "b\n", ": not found\n"},
  });
}

TEST(WholeRun, DirectoryOperandIsSkipped) {
  TempDir dir;
  dir.write("a", "zeta\n");
  dir.write("b", "alpha\n");
  std::filesystem::create_directory(dir.path + "/sub");
  const RunResult r = run_qorla({"a", "sub", "b"}, {.dir = dir.path});
  EXPECT_EQ(r.out, "alpha\nzeta\n");
  EXPECT_EQ(r.err, "sub: not found\n");
  EXPECT_EQ(r.status, 0);
}

TEST(WholeRun, TypedKeysWithSeparators) {
  run_cases({
      // Price 1e1 is 10; the two prices of 120 are told apart by the date.
      {"-t, with a numeric and a date key",
       {{"a", "pen,120,2024/03/15\nink,95.5,24/3/1\ncap,120,1999/12/31\nbox,1e1,12/31\n"}},
       {"-t,", "+2n", "+3d", "a"},
       "box,1e1,12/31\nink,95.5,24/3/1\ncap,120,1999/12/31\npen,120,2024/03/15\n"},
      // 50/1/1 is 2050, 51/1/1 is 1951; month/day alone is below every full
      // date; a date after a blank is invalid and sorts last when reversed.
      {"-t, with a reversed date key",
       {{"a", "a,x,2024/03/15\nb,y,51/1/1\nc,z, 2024/01/01\nd,w,50/1/1\ne,v,1/2\n"}},
       {"-t,", "+3dr", "a"},
       "d,w,50/1/1\na,x,2024/03/15\nb,y,51/1/1\ne,v,1/2\nc,z, 2024/01/01\n"},
      {"-t\\t: blanks belong to the fields",
       {{"a", "x y\t10\nz\t9\nw\t-1.5e1\n"}}, {"-t\\t", "+2n", "a"}, "w\t-1.5e1\nz\t9\nx y\t10\n"},
      {"-t: with runs of separators", {{"a", "a::5\nb:4\nc:::3\n"}}, {"-t:", "+2n", "a"},
       "c:::3\nb:4\na::5\n"},
      {"numeric key from a position inside the field",
       {{"a", "id A0012\nid B0003\nid A0100\n"}}, {"+2.1n", "a"}, "id B0003\nid A0012\nid A0100\n"},
      {"time key", {{"a", "12:30\n9:05:01\n-0:30\n25\n"}}, {"+1t", "a"}, "-0:30\n9:05:01\n12:30\n25\n"},
      {"hexadecimal key", {{"a", "ff\n0x10\n-1\nzz\n"}}, {"+1x", "a"}, "-1\nzz\n0x10\nff\n"},
      {"text key with length, then a reversed numeric key",
       {{"a", "ab9 1\nab1 2\nac0 3\nab5 4\n"}}, {"+1,2", "+2nr", "a"}, "ab5 4\nab1 2\nab9 1\nac0 3\n"},
  });
}

TEST(WholeRun, CuttingThenKeys) {
  // The keys count fields from the first field kept by -c.
  const File f{"a", "z 3 b\ny 1 c\nx 2 a"};
  run_cases({
      {"-c 2 +2 sorts by the third original field", {f}, {"-c", "2", "+2", "a"}, "2 a\n3 b\n1 c\n"},
      {"-c 2 +1n sorts by the second original field", {f}, {"-c", "2", "+1n", "a"},
       "1 c\n2 a\n3 b\n"},
      {"-c 1-2 adds the line feed to the last line", {f}, {"-c", "1-2", "+2n", "a"},
       "y 1\nx 2\nz 3\n"},
      {"-c with -t", {{"a", "a::b:10:q\nc:d:9:r\n"}}, {"-t:", "-c", "2-3", "+2n", "a"}, "d:9\nb:10\n"},
      // -c 3 leaves the empty string of the short line, which lacks key 1 and
      // so sorts first, printed as an empty line.
      {"-c leaving a line without fields", {{"a", "p q r\nshort\np q a\n"}}, {"-c", "3", "+1", "a"},
       "\na\nr\n"},
  });
}

TEST(WholeRun, Reversal) {
  run_cases({
      {"-v without keys", {{"a", "b\na\nc\nb\n"}}, {"-v", "a"}, "c\nb\nb\na\n"},
      {"-v with a numeric key", {{"a", "2 x\n10 y\n1 z\n"}}, {"-v", "+1n", "a"}, "10 y\n2 x\n1 z\n"},
      {"-v with a reversed key sorts ascending", {{"a", "2 x\n10 y\n1 z\n"}}, {"-v", "+1nr", "a"},
       "1 z\n2 x\n10 y\n"},
      {"-v puts lines lacking the field last", {{"a", "a b\nc\nd a\n"}}, {"-v", "+2", "a"},
       "a b\nd a\nc\n"},
      {"-v keeps equal keys in input order", {{"a", "k 1\nk 2\nj 3\n"}}, {"-v", "+1", "a"},
       "k 1\nk 2\nj 3\n"},
      {"-v given after the keys", {{"a", "a 1\nb 2\na 3\nb 1\n"}}, {"+1", "+2nr", "-v", "a"},
       "b 1\nb 2\na 1\na 3\n"},
      {"-v -i whole lines", {{"a", "b\nA\nB\na\n"}}, {"-vi", "a"}, "b\nB\nA\na\n"},
  });
}

TEST(WholeRun, JoinedLinesWithUnique) {
  run_cases({
      {"-J -u over two files", {{"a", "a\\\nb\nc\n"}, {"b", "a\\\nb\n"}}, {"-J", "-u", "a", "b"},
       "a\\\nb\nc\n"},
      // Keys stop at the first line feed: all three have the key "k\", so
      // they stay in input order and no two copies are adjacent.
      {"-J -u with a key that ties", {{"a", "k\\\nx\nk\\\ny\nk\\\nx\n"}}, {"-Ju", "+1", "a"},
       "k\\\nx\nk\\\ny\nk\\\nx\n"},
      {"-J -u whole lines", {{"a", "k\\\nx\nk\\\ny\nk\\\nx\n"}}, {"-Ju", "a"}, "k\\\nx\nk\\\ny\n"},
      {"-J with CR LF line ends", {{"a", "b\r\na\\\r\nz\r\n"}}, {"-J", "a"}, "a\\\nz\nb\n"},
      // The trail byte 0x5C of a double-byte character is no backslash.
      {"-J does not join after a double-byte character ending in 0x5C",
       {{"a", "\x83\x5C\nb\n"}}, {"-J", "a"}, "b\n\x83\x5C\n"},
  });
}

TEST(WholeRun, ShiftJisUnderIgnoreCase) {
  // ソフト (its first character has the trail byte 0x5C), ｱｲ in half-width
  // katakana, あ, ア, ヂ, and ASCII lines.
  const File f{"a",
               "\x83\x5C\x83\x74\x83\x67\n\xB1\xB2\nZeta\nalpha\nALPHA\n\\path\n\x82\xA0\n\x83\x61\n_x\n"
               "\x83\x41\n"};
  run_cases({
      // The backslash first, '_' before the folded letters, equal letters in
      // input order; then katakana, then double-byte characters by first and
      // unfolded second byte.
      {"-i", {f}, {"-i", "a"},
       "\\path\n_x\nalpha\nALPHA\nZeta\n\xB1\xB2\n\x82\xA0\n\x83\x41\n\x83\x5C\x83\x74\x83\x67\n\x83\x61\n"},
      {"without -i: bytes", {f}, {"a"},
       "ALPHA\nZeta\n\\path\n_x\nalpha\n\x82\xA0\n\x83\x41\n\x83\x5C\x83\x74\x83\x67\n\x83\x61\n\xB1\xB2\n"},
      {"-i with a key", {{"a", "1 b\n2 \x83\x5C\n3 B\n4 \xB1\n"}}, {"-i", "+2", "a"},
       "1 b\n3 B\n4 \xB1\n2 \x83\x5C\n"},
      {"-i -u keeps both cases", {{"a", "\x83\x5C\nx\nX\n\x83\x5C\n"}}, {"-iu", "a"},
       "x\nX\n\x83\x5C\n"},
      {"-i -J", {{"a", "\x83\x5C\n\\\\\nB\\\na\n"}}, {"-iJ", "a"}, "\\\\\nB\\\na\n\x83\x5C\n"},
  });
}

TEST(WholeRun, FailingNumericKeys) {
  const std::string msg = "floating data error\n";
  run_cases({
      {"failing value sorts last", {{"a", "1e39\n5\n-2\n"}}, {"+1n", "a"}, "-2\n5\n1e39\n", msg},
      {"several failing values, one message, input order",
       {{"a", "1e39\n2e40\n5\n-1e39\n"}}, {"+1n", "a"}, "5\n1e39\n2e40\n-1e39\n", msg},
      {"reversed: failing values first", {{"a", "1e39\n2e40\n5\n-1e39\n"}}, {"+1nr", "a"},
       "1e39\n2e40\n-1e39\n5\n", msg},
      {"-v: as reversed", {{"a", "1e39\n2e40\n5\n-1e39\n"}}, {"-v", "+1n", "a"},
       "1e39\n2e40\n-1e39\n5\n", msg},
      {"a single line compares nothing", {{"a", "1e39\n"}}, {"+1n", "a"}, "1e39\n"},
      {"an earlier key separates the lines", {{"a", "b 5\na 1e39\n"}}, {"+1", "+2n", "a"},
       "a 1e39\nb 5\n"},
      {"infinities and the largest value do not fail", {{"a", "+INF\n3.4e38\n-INF\n"}}, {"+1n", "a"},
       "-INF\n3.4e38\n+INF\n"},
      {"the message follows the reading messages",
       {{"a", "1e39\n1\n"}}, {"+1n", "a", "missing"}, "1\n1e39\n", "missing: not found\n" + msg},
  });
}

TEST(WholeRun, StabilityAcrossFiles) {
  run_cases({
      {"equal keys keep file order, then line order",
       {{"a", "k 2\nj 1\n"}, {"b", "k 1\nj 0\n"}}, {"+1", "a", "b"}, "j 1\nj 0\nk 2\nk 1\n"},
      {"equal typed keys", {{"a", "05 a\n5 b\n"}, {"b", "5.0 c\n4 d\n"}}, {"+1n", "a", "b"},
       "4 d\n05 a\n5 b\n5.0 c\n"},
      {"files named in a different order", {{"a", "k 2\nj 1\n"}, {"b", "k 1\nj 0\n"}}, {"+1", "b", "a"},
       "j 0\nj 1\nk 1\nk 2\n"},
  });
}

TEST(WholeRun, StabilityOnLargeInputs) {
  // Three files of 40000 lines with ten key values: enough lines for the
  // sort to be split. Lines of equal key come out in file order, then in
  // line order.
  TempDir dir;
  std::mt19937 rng(11u);
  std::vector<std::string> files;
  std::vector<std::vector<std::string>> by_key(10);
  for (int f = 0; f < 3; ++f) {
    std::string text;
    for (int i = 0; i < 40000; ++i) {
      const int key = static_cast<int>(rng() % 10);
      const std::string line = "k" + std::to_string(key) + " f" + std::to_string(f) + "-" +
                               std::to_string(39999 - i) + "\n";
      text += line;
      by_key[static_cast<std::size_t>(key)].push_back(line);
    }
    files.push_back(dir.write("f" + std::to_string(f), text));
  }
  std::string expected, expected_reversed;
  for (int k = 0; k < 10; ++k) {
    for (const std::string& line : by_key[static_cast<std::size_t>(k)]) expected += line;
    for (const std::string& line : by_key[static_cast<std::size_t>(9 - k)]) expected_reversed += line;
  }
  std::vector<std::string> args = {"+1"};
  args.insert(args.end(), files.begin(), files.end());
  const RunResult r = run_qorla(args);
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.out == expected);
  args[0] = "+1r";
  const RunResult rev = run_qorla(args);
  EXPECT_EQ(rev.status, 0);
  EXPECT_TRUE(rev.out == expected_reversed);
}

TEST(WholeRun, CarriageReturns) {
  run_cases({
      {"CR LF input gives LF output", {{"a", "b\r\na\r\n"}}, {"a"}, "a\nb\n"},
      {"a carriage return inside a line disappears", {{"a", "x\ry\r\nxz\n"}}, {"a"}, "xy\nxz\n"},
      {"a line of CR LF alone is blank", {{"a", "b\r\n\r\n \r\n"}}, {"a"}, "b\n"},
      {"CR LF and LF twins are equal under -u", {{"a", "a\r\n"}, {"b", "a\n"}}, {"-u", "a", "b"}, "a\n"},
      {"CR before the end of a last line", {{"a", "b\na\r"}}, {"a"}, "a\nb\n"},
      {"data after 0x1A is not read", {{"a", "b\na\n\x1Azzz\n"}}, {"a"}, "a\nb\n"},
      {"CR LF with keys", {{"a", "x,2\r\ny,10\r\n"}}, {"-t,", "+2n", "a"}, "x,2\ny,10\n"},
  });
}

TEST(WholeRun, EverythingTogether) {
  // -c 2 keeps "price,name"; price ascending, names compared without case;
  // the failing price sorts last; -u finds no exact repeat.
  run_cases({
      {"-iu -t, -c 2 +1n +2 over three operands",
       {{"f1", "x,10,Pen\ny,2,ink\n"}, {"f2", "z,10,pen\nw,2,INK\nv,1e39,cap\n"}},
       {"-iu", "-t,", "-c", "2", "+1n", "+2", "f1", "missing", "f2"},
       "2,ink\n2,INK\n10,Pen\n10,pen\n1e39,cap\n", "missing: not found\nfloating data error\n"},
      {"repeats across files dropped under -u", {{"f1", "x,2,ink\n"}, {"f2", "w,2,ink\ny,1,a\n"}},
       {"-u", "-t,", "-c", "2", "+1n", "f1", "f2"}, "1,a\n2,ink\n"},
  });
}

}  // namespace
