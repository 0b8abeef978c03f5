// Hostile input and faults through the binary: binary files, 0 bytes, lone
// double-byte lead bytes, 0x1A and carriage returns in odd places, the line
// length limit, a full key table, extreme key values, odd file names,
// directories, missing files, a closed or full standard output and memory
// exhaustion. Every case ends with its documented message and exit status;
// none crashes, hangs or loses a line silently.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "e2e_checks.h"
#include "run_binary.h"
#include "support/memory_budget.h"

using namespace std::string_literals;
using qorla_test::run_qorla;
using qorla_test::RunOptions;
using qorla_test::RunResult;
using qorla_test::excerpt;
using qorla_test::TempDir;

namespace {

const std::string kTooLong = " \nError: too long line found!\n";
const std::string kWriteFailed = "cannot write the output\n";

using Case = qorla_test::RunCase;

// Lines that all end in a line feed, in the order given.
std::string lines(const std::vector<std::string>& v) {
  std::string s;
  for (const std::string& line : v) s += line + "\n";
  return s;
}

std::string repeat(char c, std::size_t n) { return std::string(n, c); }

class BadInput : public ::testing::TestWithParam<Case> {};

TEST_P(BadInput, MessageAndStatus) { qorla_test::expect_run(GetParam()); }

std::vector<std::string> with_keys(int n, const std::string& key, std::vector<std::string> tail) {
  std::vector<std::string> args;
  for (int i = 0; i < n; ++i) args.push_back(key);
  args.insert(args.end(), tail.begin(), tail.end());
  return args;
}

// 0 bytes: a line that begins with one is not stored, the bytes after one
// are lost from their piece (up to its line feed or its 4095th byte).
INSTANTIATE_TEST_SUITE_P(
    ZeroBytes, BadInput,
    ::testing::Values(
        Case{"inside_and_first", {{"f", "ok\n\0skip\nab\0cd\n\0\n"s}}, {"f"}, "ab\nok\n", "", 0},
        // The first 4095 bytes of the line hold a 0 byte: the line ends there,
        // and the rest of the line (after those 4095 bytes) is a line of its own.
        Case{"inside_a_long_line",
             {{"f", repeat('c', 100) + '\0' + repeat('c', 5000) + "\n"}},
             {"f"},
             repeat('c', 100) + "\n" + repeat('c', 1006) + "\n",
             "",
             0},
        Case{"only_zero_bytes", {{"f", std::string(5000, '\0')}}, {"f"}, "", "", 0},
        Case{"zero_before_backslash_under_J", {{"f", "a\0\\\nb\n"s}}, {"-J", "f"}, "a\nb\n", "", 0}),
    [](const auto& info) { return std::string(info.param.name); });

// Shift-JIS lead bytes without their second byte, and second bytes that
// look like a backslash.
INSTANTIATE_TEST_SUITE_P(
    LeadBytes, BadInput,
    ::testing::Values(
        Case{"at_line_end", {{"f", "b\x81\na\n"}}, {"f"}, "a\nb\x81\n", "", 0},
        Case{"at_file_end", {{"f", "x\ny\x81"}}, {"f"}, "x\ny\x81\n", "", 0},
        Case{"at_file_end_ignore_case", {{"f", "y\x81\ny\x81"}}, {"-i", "f"}, "y\x81\ny\x81\n", "", 0},
        Case{"joined_piece_at_file_end", {{"f", "a\\\n\x81"}}, {"-J", "f"}, "a\\\n\x81\n", "", 0},
        // 0x95 0x5C is one character: no backslash ends the piece. 0x81 0x81
        // is one character, and the backslash after it joins.
        Case{"second_byte_backslash_under_J",
             {{"f", "x\x95\\\nnext\n\x81\x81\\\nz\n"}},
             {"-J", "f"},
             "next\nx\x95\\\n\x81\x81\\\nz\n",
             "",
             0},
        Case{"before_end_of_data", {{"f", "q\x81\x1a" "more\n"}}, {"f"}, "q\x81\n", "", 0},
        Case{"in_keys", {{"f", "\x81 2\n\x81\n1 \x81\n"}}, {"+2n", "+1x", "-i", "f"}, "\x81\n1 \x81\n\x81 2\n", "", 0}),
    [](const auto& info) { return std::string(info.param.name); });

// Carriage returns disappear wherever they stand; a byte 0x1A ends the data
// of its file only.
INSTANTIATE_TEST_SUITE_P(
    TextMode, BadInput,
    ::testing::Values(
        Case{"carriage_returns_and_end_of_data",
             {{"a", "a\r\rb\r\n\r\nc\x1a" "d\n"}, {"b", "\x1a"}, {"c", "z\r"}},
             {"a", "b", "c"},
             "ab\nc\nz\n",
             "",
             0},
        Case{"carriage_return_inside_a_number", {{"f", "b 1\r0\na 9\n"}}, {"+2n", "f"}, "a 9\nb 10\n", "", 0},
        Case{"carriage_return_before_join", {{"f", "k\\\r\nv\na\n"}}, {"-J", "f"}, "a\nk\\\nv\n", "", 0},
        Case{"end_of_data_inside_join", {{"f", "k\\\n\x1av\n"}}, {"-J", "f"}, "k\\\n", "", 0},
        Case{"carriage_returns_only", {{"f", "\r\r\r\n\r"}}, {"f"}, "", "", 0}),
    [](const auto& info) { return std::string(info.param.name); });

// A line holds at most 4094 bytes after translation; the message shows the
// first 768 bytes of the line, and nothing is written to stdout.
INSTANTIATE_TEST_SUITE_P(
    LineLimit, BadInput,
    ::testing::Values(
        Case{"4094_with_line_feed", {{"f", repeat('a', 4093) + "\n"}}, {"f"}, repeat('a', 4093) + "\n", "", 0},
        Case{"4095_with_line_feed", {{"f", "b\n" + repeat('a', 4094) + "\n"}}, {"f"}, "", repeat('a', 768) + kTooLong, 1},
        Case{"4094_at_file_end", {{"f", repeat('a', 4094)}}, {"f"}, repeat('a', 4094) + "\n", "", 0},
        Case{"4095_at_file_end", {{"f", repeat('a', 4095)}}, {"f"}, "", repeat('a', 768) + kTooLong, 1},
        Case{"carriage_return_not_counted", {{"f", repeat('a', 4093) + "\r\n"}}, {"f"}, repeat('a', 4093) + "\n", "", 0},
        Case{"joined_4094",
             {{"f", repeat('a', 2000) + "\\\n" + repeat('b', 2091) + "\n"}},
             {"-J", "f"},
             repeat('a', 2000) + "\\\n" + repeat('b', 2091) + "\n",
             "",
             0},
        Case{"joined_4095",
             {{"f", repeat('a', 2000) + "\\\n" + repeat('b', 2092) + "\n"}},
             {"-J", "f"},
             "",
             repeat('a', 768) + kTooLong,
             1},
        Case{"after_a_missing_file",
             {{"f", repeat('x', 9000)}},
             {"nope", "f"},
             "",
             "nope: not found\n" + repeat('x', 768) + kTooLong,
             1}),
    [](const auto& info) { return std::string(info.param.name); });

// The key table holds 256 entries; a 257th is refused before any file is
// read. With 256 keys the last one still decides.
INSTANTIATE_TEST_SUITE_P(
    KeyTable, BadInput,
    ::testing::Values(
        Case{"256_keys_last_decides", {{"f", "k 1\nk 3\nk 2\n"}}, with_keys(255, "+1", {"+2nr", "f"}), "k 3\nk 2\nk 1\n", "", 0},
        Case{"257_keys", {{"f", "b\na\n"}}, with_keys(257, "+1", {"f"}), "", "+1: bad field description\n", 1},
        Case{"257_keys_mixed", {{"f", "b\na\n"}}, with_keys(256, "+3.2,1nr", {"+9x", "f"}), "", "+9x: bad field description\n", 1},
        // Lines equal for thousands of bytes in each of 256 keys, and whole
        // lines equal up to their last byte: long ties, sorted without
        // running out of stack.
        Case{"256_keys_on_long_equal_lines",
             {{"f", lines({repeat('a', 4000), repeat('a', 3999) + "b", repeat('a', 3999) + "0", repeat('a', 4000)})}},
             with_keys(256, "+1", {"f"}),
             lines({repeat('a', 3999) + "0", repeat('a', 4000), repeat('a', 4000), repeat('a', 3999) + "b"}),
             "",
             0},
        Case{"long_equal_whole_lines",
             {{"f", lines({repeat('x', 4092) + "b", repeat('x', 4092) + "a", repeat('x', 4093)})}},
             {"-i", "f"},
             lines({repeat('x', 4092) + "a", repeat('x', 4092) + "b", repeat('x', 4093)}),
             "",
             0}),
    [](const auto& info) { return std::string(info.param.name); });

// Extreme values in every key type. The expected orders follow the value
// rules: numeric keys in single precision, with keys beyond it failing and
// sorting last (a failure is reported once); hexadecimal digits taken while
// the value stays at most 0x7FFFFFFF; times in wrapping 32-bit seconds;
// dates with every component out of range invalid (-1, first). Lines with
// equal keys keep their input order.
const std::string kNines(400, '9');
const std::string kTinyDecimal = "0." + std::string(300, '0') + "1";
INSTANTIATE_TEST_SUITE_P(
    ExtremeKeys, BadInput,
    ::testing::Values(
        Case{"numeric",
             {{"f", lines({"1e39", "16777217", "-INF", "0", "+NAN", "3.4028234663852886e38", "1e-50", "-3.5e38",
                           "+INF", "16777216", "abc", "1e400", "-0", "1e-45", kNines, "-1e400", kTinyDecimal})}},
             {"+1n", "f"},
             lines({"-INF", "0", "1e-50", "abc", "-0", kTinyDecimal, "1e-45", "16777217", "16777216",
                    "3.4028234663852886e38", "+INF", "1e39", "+NAN", "-3.5e38", "1e400", kNines, "-1e400"}),
             "floating data error\n",
             0},
        Case{"numeric_reversed",
             {{"f", lines({"1e39", "16777217", "-INF", "0", "+NAN", "3.4028234663852886e38", "1e-50", "-3.5e38",
                           "+INF", "16777216", "abc", "1e400", "-0", "1e-45", kNines, "-1e400", kTinyDecimal})}},
             {"+1nr", "f"},
             lines({"1e39", "+NAN", "-3.5e38", "1e400", kNines, "-1e400", "+INF", "3.4028234663852886e38", "16777217",
                    "16777216", "1e-45", "0", "1e-50", "abc", "-0", kTinyDecimal, "-INF"}),
             "floating data error\n",
             0},
        // Values: 7FFFFFFF 2147483647, 80000000 134217728, FFFFFFFF and twenty
        // Fs 268435455, 123456789 591751049, 100000000 268435456, -7FFFFFFF
        // -2147483647, -80000000 -134217728; -0, zz and 0x give 0.
        Case{"hexadecimal",
             {{"f", lines({"7FFFFFFF", "80000000", "FFFFFFFF", "123456789", "100000000", "-7FFFFFFF", "-80000000",
                           "FFFFFFFFFFFFFFFFFFFF", "-0", "zz", "0x", "0x7fffffff"})}},
             {"+1x", "f"},
             lines({"-7FFFFFFF", "-80000000", "-0", "zz", "0x", "80000000", "FFFFFFFF", "FFFFFFFFFFFFFFFFFFFF",
                    "100000000", "123456789", "7FFFFFFF", "0x7fffffff"}),
             "",
             0},
        // Seconds modulo 2^32: 596523:14:07 is 2147483647, 596523:14:08 and
        // -596523:14:08 wrap to -2147483648, 4294967296 hours to 0, twenty
        // nines:99:99 to 285215111.
        Case{"time",
             {{"f", lines({"596523:14:07", "596523:14:08", "-596523:14:08", "-596523:14:07", "4294967296",
                           "99999999999999999999:99:99", "1:2:3:4", "abc", "-0:30"})}},
             {"+1t", "f"},
             lines({"596523:14:08", "-596523:14:08", "-596523:14:07", "-0:30", "4294967296", "abc", "1:2:3:4",
                    "99999999999999999999:99:99", "596523:14:07"}),
             "",
             0},
        // Components beyond 32 bits must fail their range test rather than
        // wrap into range (4294967297 would wrap to 1, 4294967308 to 12).
        Case{"date",
             {{"f", lines({"9999/12/31", "10000/1/1", "0/1/1", "99999999999999999999/1/1", "12/31", "2024/13/01",
                           "4294967297/1/1", "1/1", "2024/1/4294967297", "50/1/1", "51/1/1", "1/4294967297",
                           "4294967308/31"})}},
             {"+1d", "f"},
             lines({"10000/1/1", "99999999999999999999/1/1", "2024/13/01", "4294967297/1/1", "2024/1/4294967297",
                    "1/4294967297", "4294967308/31", "1/1", "12/31", "51/1/1", "0/1/1", "50/1/1", "9999/12/31"}),
             "",
             0},
        // Positions and lengths at the 16-bit limit, field numbers far past
        // every line.
        Case{"largest_positions",
             {{"f", lines({"b 2", "a 1", "c"})}},
             {"+32767", "+1.32767,32767", "+2.0,32767n", "f"},
             lines({"b 2", "a 1", "c"}),
             "",
             0}),
    [](const auto& info) { return std::string(info.param.name); });

// File names reach the messages as the argument of "%s": a '%' or a
// backslash in them is printed as it is, and a long name is cut by the
// formatter (more than 1024 bytes: the first 768; the text stops at 1024).
const std::string kName2000 = repeat('n', 2000);
const std::string kName1020 = repeat('m', 1020);
const std::string kName1024 = repeat('k', 1024);
INSTANTIATE_TEST_SUITE_P(
    FileNames, BadInput,
    ::testing::Values(
        Case{"percent_missing", {}, {"a%sb%d%%.txt"}, "", "a%sb%d%%.txt: not found\n", 0},
        Case{"backslash_missing", {}, {"back\\slash\\t\\"}, "", "back\\slash\\t\\: not found\n", 0},
        Case{"percent_and_backslash_read", {{"%s\\n%", "b\na\n"}}, {"%s\\n%"}, "a\nb\n", "", 0},
        Case{"2000_bytes_missing", {}, {kName2000}, "", repeat('n', 768) + ": not found\n", 0},
        Case{"1020_bytes_missing", {}, {kName1020}, "", kName1020 + ": no", 0},
        Case{"1024_bytes_missing", {}, {kName1024}, "", kName1024, 0},
        Case{"empty_name", {{"f", "x\n"}}, {"", "f"}, "x\n", ": not found\n", 0},
        Case{"option_after_file", {{"f", "x\n"}}, {"f", "-u"}, "x\n", "-u: not found\n", 0},
        Case{"directory", {{"f", "b\n"}, {"g", "a\n"}}, {"f", ".", "/", "g"}, "a\nb\n", ".: not found\n/: not found\n", 0},
        Case{"missing_between", {{"f", "b\n"}, {"g", "a\n"}}, {"f", "missing", "g"}, "a\nb\n", "missing: not found\n", 0}),
    [](const auto& info) { return std::string(info.param.name); });

// A file whose path is 2000 bytes long (ten directories deep) is read.
TEST(BadInputNames, LongPathIsRead) {
  TempDir dir;
  std::string path;
  for (int i = 0; i < 10; ++i) {
    path += (i ? "/" : "") + repeat(static_cast<char>('a' + i), 195);
    ASSERT_EQ(::mkdir((dir.path + "/" + path).c_str(), 0755), 0);
  }
  path += "/";
  path += repeat('z', 2000 - path.size());
  dir.write(path, "b\na\n");
  const RunResult r = run_qorla({path, path + "x"}, {.dir = dir.path});
  EXPECT_EQ(r.out, "a\nb\n");
  EXPECT_EQ(r.err, path.substr(0, 768) + ": not found\n");
  EXPECT_EQ(r.status, 0);
}

// Random bytes of every value, line feeds now and then: without options the
// order is plain byte order, so the expected output follows from the
// reading rules alone (0x1A ends the data, carriage returns go, a 0 byte
// ends the text of its line, blank lines are not printed).
TEST(BadInputBinary, RandomBytesSortedByByteValue) {
  std::uint64_t state = 12345;
  auto next = [&state] {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<unsigned>(state >> 33);
  };
  std::string data;
  for (int i = 0; i < 200000; ++i) {
    const unsigned b = next() % 256;
    data += static_cast<char>(next() % 40 == 0 ? '\n' : b == 0x1A ? 0x1B : b);
  }
  data += '\x1a';
  data += "after the end\n";

  std::string text;
  for (const char c : data.substr(0, data.find('\x1a'))) {
    if (c != '\r') text += c;
  }
  std::vector<std::string> stored;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t lf = text.find('\n', at);
    const std::size_t end = lf == std::string::npos ? text.size() : lf + 1;
    ASSERT_LT(end - at, 4095u);  // the generator keeps lines short
    std::string line = text.substr(at, end - at);
    line.resize(std::min(line.size(), line.find('\0')));
    if (!line.empty()) stored.push_back(line);
    at = end;
  }
  std::stable_sort(stored.begin(), stored.end());  // byte order: unsigned bytes
  std::string expected, expected_unique, previous;
  for (const std::string& line : stored) {
    const std::size_t first = line.find_first_not_of(" \t");
    if (first != std::string::npos && line[first] == '\n') continue;
    const std::string printed = line.back() == '\n' ? line : line + "\n";
    expected += printed;
    if (line != previous) expected_unique += printed;
    previous = line;
  }

  TempDir dir;
  const std::string f = dir.write("binary", data);
  const RunResult r = run_qorla({f});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(r.out == expected) << r.out.size() << " bytes, expected " << expected.size();
  const RunResult u = run_qorla({"-u", f});
  EXPECT_EQ(u.status, 0);
  EXPECT_TRUE(u.out == expected_unique) << u.out.size() << " bytes, expected " << expected_unique.size();

  // Every option at once on the same bytes: a complete run.
  const RunResult all = run_qorla({"-iJuv", "-t\x81", "-c", "1-3", "+2n", "+1.1,2xr", "+3d", "+2t", f});
  EXPECT_EQ(all.status, 0);
  EXPECT_TRUE(all.err.empty() || all.err == "floating data error\n") << all.err;
  EXPECT_FALSE(all.out.empty());
}

// Standard output closed or full: the failure to write is reported and the
// status is 1, never a silent success.
TEST(BadInputOutput, ClosedOrFull) {
  TempDir dir;
  const std::string small = dir.write("small", "b\na\n");
  std::string big_text;
  for (int i = 0; i < 200000; ++i) big_text += "line " + std::to_string(i * 7 % 200000) + "\n";
  const std::string big = dir.write("big", big_text);  // more than the output buffer
  const std::string empty = dir.write("empty", "");
  struct Run {
    const char* name;
    std::vector<std::string> args;
    bool close;
    std::string err;
    int status;
  };
  const Run runs[] = {
      {"closed", {small}, true, kWriteFailed, 1},
      {"closed_big", {big}, true, kWriteFailed, 1},
      {"closed_help", {"-usage"}, true, kWriteFailed, 1},
      {"closed_nothing_to_write", {empty}, true, "", 0},
      {"full", {small}, false, kWriteFailed, 1},
      {"full_big", {big}, false, kWriteFailed, 1},
      {"full_help", {"-usage"}, false, kWriteFailed, 1},
      {"full_after_missing_file", {"missing", small}, false, "missing: not found\n" + kWriteFailed, 1},
  };
  for (const Run& run : runs) {
    SCOPED_TRACE(run.name);
    RunOptions options;
    options.dir = dir.path;
    if (run.close) {
      options.close_stdout = true;
    } else {
      options.stdout_path = "/dev/full";
    }
    const RunResult r = run_qorla(run.args, options);
    EXPECT_EQ(r.err, run.err);
    EXPECT_EQ(r.status, run.status);
  }
}

// The messages of the memory routines.
const std::regex kMemoryMessage(
    "(\ncannot get the memory of ([0-9]+) K bytes\n)|(\ncannot get the memory of [0-9]+ bytes\n)|"
    "(cannot get the memory of [0-9]+ K bytes\n)|(cannot get the memory of [0-9]+ bytes\n)|"
    "(cannot get memory\n)");

// Memory running out at every stage, under address-space limits from 4 MiB
// up in steps of 2 MiB until the run has room. A missing file named after
// the input tells the stages apart: its message comes once the input is
// read, so a run that stops without it stopped while reading. Every run is
// either complete or stops with status 1, one message of the memory
// routines and no output; the sweep must meet the growth of the line table
// (the only resized block), the storage of the line text and, after
// reading, the sort's own working memory (at least four bytes per line).
TEST(BadInputMemory, ExhaustedAtEveryStage) {
#if QORLA_BINARY_SANITIZED
  GTEST_SKIP() << "the sanitizer runtime reserves more address space than any limit here";
#else
  constexpr int kLines = 1000000;
  std::string text;
  std::vector<std::string> all;
  for (int i = 0; i < kLines; ++i) {
    char line[16];
    std::snprintf(line, sizeof line, "%x\n", static_cast<unsigned>(static_cast<long long>(i) * 7919 % 1000003));
    all.push_back(line);
    text += line;
  }
  std::sort(all.begin(), all.end());
  std::string sorted;
  for (const std::string& line : all) sorted += line;
  all.clear();
  TempDir dir;
  const std::string input = dir.write("input", text);
  text.clear();

  bool table_failed = false, text_failed = false, sort_failed = false, completed = false;
  const std::string missing = dir.path + "/missing";
  const std::string read_all = missing + ": not found\n";
  for (long mb = 4; mb <= 512 && !completed; mb += 2) {
    SCOPED_TRACE(std::to_string(mb) + " MiB");
    RunOptions limited;
    limited.address_space_limit = mb << 20;
    const RunResult r = run_qorla({input, missing}, limited);
    if (r.status == 127) continue;  // too little room to load the program at all
    if (r.status == 0) {
      EXPECT_TRUE(r.out == sorted) << r.out.size() << " bytes of output";
      EXPECT_EQ(r.err, read_all);
      completed = true;
      continue;
    }
    ASSERT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "");
    const bool after_reading = r.err.compare(0, read_all.size(), read_all) == 0;
    const std::string message = after_reading ? r.err.substr(read_all.size()) : r.err;
    std::smatch m;
    ASSERT_TRUE(std::regex_match(message, m, kMemoryMessage)) << r.err;
    const long getmem_k = m[2].matched ? std::stol(m[2].str()) : -1;
    if (!after_reading && (m[4].matched || m[5].matched)) table_failed = true;
    if (!after_reading && (m[6].matched || getmem_k > 1024)) text_failed = true;
    if (after_reading && getmem_k >= 4L * kLines / 1024) sort_failed = true;
  }
  EXPECT_TRUE(completed) << "no limit up to 512 MiB was enough";
  EXPECT_TRUE(table_failed) << "no run stopped while growing the line table";
  EXPECT_TRUE(text_failed) << "no run stopped while storing line text";
  EXPECT_TRUE(sort_failed) << "no run stopped in the sort's working memory";
#endif
}

// In a private mount namespace a fake /proc/meminfo, or fake files of this
// process's memory cgroup, leave 32 MiB: 3M short lines (69 MiB at 24 bytes
// a line) stop as memory runs out, read from a file or a pipe; 2 lines sort.
TEST(BadInputMemory, BudgetFromTheSystem) {
  const RunResult probe = qorla_test::run_program({"unshare", "-m", "true"});
  if (probe.status != 0) GTEST_SKIP() << "no private mount namespace here: " << probe.err;
  TempDir dir;
  std::string text;
  for (unsigned i = 0; i < 3000000; ++i) text += std::to_string(i * 7919u % 1000003u) + "\n";
  const std::string large = dir.write("large", text), small = dir.write("small", "b\na\n");
  const std::string meminfo = dir.write("meminfo", "MemTotal: 1048576 kB\nMemAvailable: 24576 kB\nSwapFree: 8192 kB\n");
  for (const char* name : {"memory.limit_in_bytes", "memory.max"}) dir.write(name, "67108864\n");
  for (const char* name : {"memory.usage_in_bytes", "memory.current"}) dir.write(name, "33554432\n");
  // fake, mounted over, input, "|" to read it through a pipe
  std::vector<std::vector<std::string>> runs = {
      {meminfo, "/proc/meminfo", large, ""}, {meminfo, "/proc/meminfo", large, "|"}, {meminfo, "/proc/meminfo", small, ""}};
  const std::string self = qorla_test::read_file("/proc/self/cgroup");
  const std::string v1(qorla::cgroup_v1_memory_path(self)), v2(qorla::cgroup_v2_path(self));
  if (!v1.empty()) runs.push_back({dir.path, "/sys/fs/cgroup/memory" + v1, large, ""});
  if (!v2.empty()) runs.push_back({dir.path, "/sys/fs/cgroup" + v2, large, ""});
  const char* script = "mount --bind \"$1\" \"$2\" || exit 125\n"
                       "if [ -n \"$5\" ]; then cat \"$4\" | \"$3\" /dev/stdin; else exec \"$3\" \"$4\"; fi";
  for (const auto& run : runs) {
    const RunResult r = qorla_test::run_program({"unshare", "-m", "sh", "-c", script, "sh", run[0], run[1],
                                                 QORLA_BINARY, run[2], run[3]});
    const std::string what = run[2] + (run[3].empty() ? "" : " through a pipe") + ", fake " + run[1];
    std::printf("%s: exit %d, %zu bytes out, stderr %s\n", what.c_str(), r.status, r.out.size(), excerpt(r.err).c_str());
    if (r.status == 125) GTEST_SKIP() << "cannot mount over " << run[1] << ": " << r.err;
    const bool fits = run[2] == small;
    EXPECT_EQ(r.status, fits ? 0 : 1) << what;
    EXPECT_TRUE(fits ? r.out == "a\nb\n" && r.err.empty() : r.out.empty() && std::regex_match(r.err, kMemoryMessage))
        << what;
  }
}

}  // namespace
