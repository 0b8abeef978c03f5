#include "sort/sort_lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "sort/float_error.h"
#include "input/line_table.h"
#include "order/compare.h"
#include "order/settings.h"
#include "order/test_support.h"

namespace qorla {
namespace {

constexpr const char* kFloatMessage = "floating data error\n";

using test_support::apply;
using test_support::Key;
using test_support::Order;

// A table to sort and its lines in input order, which the test keeps: the
// sort takes the table's own array over.
struct Input {
  LineTable table;
  std::vector<const char*> lines;
  int line_count = 0;
};

Input make_table(const std::vector<std::string>& lines) {
  Input input;
  create_table(input.table);
  for (const std::string& line : lines) append_line(input.table, line, false);
  for (int i = 0; i < input.table.line_count; ++i) input.lines.push_back(line_data(input.table.lines[i]));
  input.line_count = input.table.line_count;
  return input;
}

struct SortResult {
  std::vector<const char*> order;
  std::string err;
};

SortResult run_sort(Input& input) {
  fpe_flag = 0;
  fpe_warned = 0;
  testing::internal::CaptureStderr();
  const LineRef* sorted = sort_lines(input.table);
  SortResult result;
  result.err = testing::internal::GetCapturedStderr();
  for (int i = 0; i < input.line_count; ++i) result.order.push_back(line_data(sorted[i]));
  return result;
}

// The order the output must have: by comp, equal lines in input order.
std::vector<const char*> stable_reference(const Input& table) {
  std::vector<const char*> order = table.lines;
  std::stable_sort(order.begin(), order.end(),
                   [](const char* a, const char* b) { return comp(a, b) < 0; });
  return order;
}

// Positions in the input, for readable failure messages.
std::vector<int> positions(const Input& table, const std::vector<const char*>& order) {
  std::vector<int> out;
  for (const char* line : order) {
    int i = 0;
    while (i < table.line_count && table.lines[i] != line) ++i;
    out.push_back(i < table.line_count ? i : -1);
  }
  return out;
}

// Whether any comparison of two different lines consults a failed numeric
// key: then every correct sort meets one, whatever pairs it compares.
bool some_pair_consults_failure(const Input& table) {
  for (int i = 0; i < table.line_count; ++i) {
    for (int j = i + 1; j < table.line_count; ++j) {
      CompareTrace trace;
      comp_keys(table.lines[i], table.lines[j], 0, &trace);
      if (trace.numeric_failure_consulted) return true;
    }
  }
  return false;
}

class SortLines : public testing::Test {
 protected:
  void TearDown() override {
    reset_settings();
    fpe_flag = 0;
    fpe_warned = 0;
  }
};

// --- Hand-worked orders -----------------------------------------------------

struct OrderCase {
  const char* name;
  Order settings;
  std::vector<std::string> lines;
  std::vector<int> expected;  // input positions in output order
  bool float_error = false;   // a failed numeric key is compared
};

TEST_F(SortLines, HandWorkedOrders) {
  const OrderCase cases[] = {
      {"line feed sorts below blank; missing line feed lowest",
       {}, {"ab c\n", "ab\n", "ab", "a\n"}, {3, 2, 1, 0}},
      {"equal lines keep input order", {}, {"b\n", "a\n", "b\n", "a\n"}, {1, 3, 0, 2}},
      {"-v reverses the order but not equal lines", {.rev_flag = 1},
       {"b\n", "a\n", "b\n", "c\n", "a\n"}, {3, 0, 2, 1, 4}},
      {"-i folds letters, equal ones stay in input order", {.ignore_case = 1},
       {"b\n", "B\n", "a\n", "A\n"}, {2, 3, 0, 1}},
      {"-i -v", {.ignore_case = 1, .rev_flag = 1},
       {"b\n", "B\n", "a\n", "A\n"}, {0, 1, 2, 3}},
      // Under -i: backslash before all ASCII, folded letters after '_',
      // ASCII before half-width katakana before double-byte characters.
      {"-i Shift-JIS classes", {.ignore_case = 1},
       {"\x83\x5C\n", "\xB1\n", "b\n", "_\n", "\\\n", "A\n", "\x82\xA0\n"}, {4, 3, 5, 2, 1, 6, 0}},
      {"without -i, bytes", {},
       {"\x83\x5C\n", "\xB1\n", "b\n", "_\n", "\\\n", "A\n", "\x82\xA0\n"}, {5, 4, 3, 2, 6, 0, 1}},
      {"-i second bytes of double-byte characters are not folded", {.ignore_case = 1},
       {"\x83\x61\n", "\x83\x41\n"}, {1, 0}},
      {"-i backslash before the line feed", {.ignore_case = 1}, {"a\n", "a\\\n"}, {1, 0}},
      {"without -i, line feed before backslash", {}, {"a\\\n", "a\n"}, {1, 0}},
      {"text key, ties in input order", {.keys = {{.no = 1}}},
       {"k 2\n", "j 1\n", "k 1\n", "j 0\n"}, {1, 3, 0, 2}},
      {"reversed key keeps equal keys in input order", {.keys = {{.no = 1, .rev = 1}}},
       {"x 1\n", "y 1\n", "x 2\n"}, {1, 0, 2}},
      {"missing field first, and lines lacking it are equal", {.keys = {{.no = 2}, {.no = 1}}},
       {"z b\n", "y\n", "x a\n", "w\n"}, {1, 3, 2, 0}},
      {"missing field last under r", {.keys = {{.no = 2, .rev = 1}}},
       {"y\n", "z b\n", "x a\n"}, {1, 2, 0}},
      {"numeric key, failed values last and equal to each other", {.keys = {{.no = 1, .type = kNumeric}}},
       {"1e39\n", "10\n", "2e40\n", "-2\n", "+INF\n", "9\n"}, {3, 5, 1, 4, 0, 2}, true},
      {"numeric reverse, failed first", {.keys = {{.no = 1, .type = kNumeric, .rev = 1}}},
       {"1e39\n", "10\n", "2e40\n", "-2\n"}, {0, 2, 1, 3}, true},
      {"numeric -0 equals 0, single precision ties", {.keys = {{.no = 1, .type = kNumeric}}},
       {"0\n", "-0\n", "16777217\n", "16777216\n", "-1\n"}, {4, 0, 1, 2, 3}},
      {"date key: invalid first, month/day before full dates", {.keys = {{.no = 1, .type = kDate}}},
       {"2024/03/15\n", "51/1/1\n", "12/31\n", "x\n", "24/3/15\n", "50/1/1\n"}, {3, 2, 1, 0, 4, 5}},
      {"hex key", {.keys = {{.no = 1, .type = kHex}}},
       {"1f\n", "-1\n", "0x1F\n", "0\n", "7FFFFFFF\n"}, {1, 3, 0, 2, 4}},
      {"time key", {.keys = {{.no = 1, .type = kTime}}},
       {"90\n", "23:59:59\n", "-0:30\n", "1:2:3:4\n", "1:2:3\n"}, {2, 3, 4, 1, 0}},
      {"separator ',' and second key", {.keys = {{.no = 2, .type = kNumeric}, {.no = 1}}, .separator = ','},
       {"b,,10\n", "a x,10\n", "c,9\n"}, {2, 1, 0}},
      {"prefix boundary of eight bytes", {.keys = {{.no = 1}, {.no = 2}}},
       {"abcdefgh 2\n", "abcdefghi 1\n", "abcdefgh 1\n", "abcdefg 3\n", "abcdefghh 0\n"}, {3, 2, 0, 4, 1}},
      {"key position and length", {.keys = {{.no = 1, .pos = 1, .len = 2}}},
       {"zbcz\n", "abca\n", "xaaa\n", "ab\n"}, {2, 3, 0, 1}},
  };
  for (const OrderCase& c : cases) {
    SCOPED_TRACE(c.name);
    apply(c.settings);
    Input table = make_table(c.lines);
    const SortResult r = run_sort(table);
    EXPECT_EQ(positions(table, r.order), c.expected);
    EXPECT_EQ(r.err, c.float_error ? kFloatMessage : "");
  }
}

TEST_F(SortLines, EmptyAndSingleTables) {
  apply({});
  Input empty = make_table({});
  EXPECT_TRUE(run_sort(empty).order.empty());
  Input one = make_table({"only"});
  const SortResult r = run_sort(one);
  ASSERT_EQ(r.order.size(), 1u);
  EXPECT_EQ(r.order[0], one.lines[0]);
}

TEST_F(SortLines, LeavesTheLinesAsTheyWere) {
  apply({.keys = {{.no = 1, .type = kNumeric}}});
  std::vector<std::string> lines;
  for (int i = 0; i < 40000; ++i) lines.push_back(std::to_string((i * 7919) % 40000) + "\n");
  Input table = make_table(lines);
  run_sort(table);
  for (int i = 0; i < table.line_count; ++i) ASSERT_EQ(lines[static_cast<std::size_t>(i)], table.lines[i]);
}

// --- The floating data error report ----------------------------------------

struct FloatCase {
  const char* name;
  Order settings;
  std::vector<std::string> lines;
  bool reported;
};

TEST_F(SortLines, FloatingDataErrorReport) {
  const Key n1{.no = 1, .type = kNumeric};
  const Key n2{.no = 2, .type = kNumeric};
  const Key t1{.no = 1};
  const FloatCase cases[] = {
      {"single failing line", {.keys = {n1}}, {"1e39\n"}, false},
      {"failing key compared with a number", {.keys = {n1}}, {"1e39\n", "5\n"}, true},
      {"failing key compared with text read as 0", {.keys = {n1}}, {"x\n", "-1e39\n"}, true},
      {"two failing keys", {.keys = {n1}}, {"1e39\n", "2e40\n"}, true},
      {"beyond the double range", {.keys = {n1}}, {"1e309\n", "1\n"}, true},
      {"reversed key", {.keys = {{.no = 1, .type = kNumeric, .rev = 1}}}, {"3\n", "3.5e38\n"}, true},
      {"largest single value does not fail", {.keys = {n1}}, {"3.4028235e38\n", "1\n", "-3.4028235e38\n"}, false},
      {"infinities do not fail", {.keys = {n1}}, {"+INF\n", "-INF\n", "3e38\n"}, false},
      {"lowercase inf is 0", {.keys = {n1}}, {"inf\n", "INF\n", "2\n"}, false},
      {"earlier key separates every pair", {.keys = {t1, n2}}, {"a 1e39\n", "b 5\n", "c 1e40\n"}, false},
      {"earlier key ties on the failing line", {.keys = {t1, n2}}, {"a 1e39\n", "b 5\n", "a 7\n"}, true},
      {"other line lacks the numeric field", {.keys = {t1, n2}}, {"a\n", "a 1e39\n"}, false},
      {"both lack the earlier field", {.keys = {{.no = 3}, n1}}, {"1e39\n", "5\n"}, false},
      {"failing key on a continuation line is not a field", {.keys = {t1, n2}},
       {"a \\\n1e39\n", "a 5\n"}, false},
      {"failing key under a separator", {.keys = {n2}, .separator = ','}, {"a,1e39\n", "b,1\n"}, true},
      {"failure behind a typed first key", {.keys = {{.no = 1, .type = kDate}, n2}},
       {"2024/1/1 1e39\n", "24/01/01 2\n"}, true},
  };
  for (const FloatCase& c : cases) {
    SCOPED_TRACE(c.name);
    apply(c.settings);
    Input table = make_table(c.lines);
    const SortResult r = run_sort(table);
    EXPECT_EQ(r.err, c.reported ? kFloatMessage : "");
    EXPECT_EQ(r.order, stable_reference(table));
  }
}

TEST_F(SortLines, FloatingDataErrorIsWrittenOnceForManyFailures) {
  apply({.keys = {{.no = 1, .type = kNumeric}}});
  std::vector<std::string> lines;
  for (int i = 0; i < 50000; ++i) lines.push_back(i % 3 == 0 ? "1e39\n" : std::to_string(i) + "\n");
  Input table = make_table(lines);
  const SortResult r = run_sort(table);
  EXPECT_EQ(r.err, kFloatMessage);
  EXPECT_EQ(r.order, stable_reference(table));
}

TEST_F(SortLines, FloatingDataErrorIsNotRepeatedWithinARun) {
  // The message belongs to the run: a second sort after a report stays quiet.
  apply({.keys = {{.no = 1, .type = kNumeric}}});
  Input table = make_table({"1e39\n", "1\n"});
  fpe_warned = 1;
  testing::internal::CaptureStderr();
  sort_lines(table.table);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(SortLines, FloatingDataErrorInLargeSplitInputs) {
  // Unique first keys: a failing second key is never consulted, wherever the
  // line lies, until a second line shares its first key.
  apply({.keys = {{.no = 1}, {.no = 2, .type = kNumeric}}});
  std::vector<std::string> lines;
  const int n = 100000;
  for (int i = 0; i < n; ++i) lines.push_back("k" + std::to_string(i) + " " + std::to_string(i % 97) + "\n");
  lines[n - 10] = "k" + std::to_string(n - 10) + " 1e39\n";
  {
    Input table = make_table(lines);
    const SortResult r = run_sort(table);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.order, stable_reference(table));
  }
  lines[5] = "k" + std::to_string(n - 10) + " 4\n";  // shares the failing line's first key
  {
    Input table = make_table(lines);
    const SortResult r = run_sort(table);
    EXPECT_EQ(r.err, kFloatMessage);
    EXPECT_EQ(r.order, stable_reference(table));
  }
}

// --- Random inputs against std::stable_sort ---------------------------------

const char* const kWords[] = {
    "a", "A", "b", "B", "ab", "aB", "\\", "_", "\x83\x5C", "\x82\xA0", "\x82\x60", "\x82\x81", "\xB1",
    "\xB1\xB2", "abcdefg", "abcdefgh", "abcdefghi", "ABCDEFGHI", "abcdefgh\\", "\x81", "x y",
    "0", "-0", "+0", "1", "01", "1.0", ".5", "5.", "16777216", "16777217", "-3.5e2", "12abc",
    "1,5", "3e38", "+INF", "-INF", "0x1F", "1f", "-1", "7FFFFFFF", "-7FFFFFFF", "80000000",
    "2024/03/15", "24/3/15", "12/31", "1/1", "2024/13/1", "51/1/1", "50/1/1",
    "12:30:45", "12:30", "-1:30", "90", "1:2:3:4",
};
const char* const kFailing[] = {"1e39", "-1e39", "+NAN", "1e309", "3.5e38"};

struct Generator {
  std::mt19937 rng;
  bool failing;
  int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }
  bool chance(int percent) { return pick(100) < percent; }

  std::string field() {
    if (failing && chance(4)) return kFailing[pick(std::size(kFailing))];
    return kWords[pick(std::size(kWords))];
  }
  std::string separator_run(unsigned char sep) {
    if (sep != 0) return chance(80) ? std::string(1, static_cast<char>(sep)) : std::string(2, static_cast<char>(sep));
    static const char* const runs[] = {" ", " ", " ", "\t", "  ", " \t"};
    return runs[pick(6)];
  }
  std::string piece(unsigned char sep) {
    std::string s;
    if (chance(10)) s += separator_run(sep);
    const int fields = pick(5);
    for (int f = 0; f < fields; ++f) {
      if (f > 0) s += separator_run(sep);
      s += field();
    }
    if (chance(10)) s += separator_run(sep);
    return s;
  }
  std::string line(unsigned char sep) {
    std::string s = piece(sep);
    if (chance(5)) s += "\\\n" + piece(sep);  // a joined line
    if (chance(85)) s += "\n";
    if (s.empty()) s = "\n";
    return s;
  }
  // Lines drawn from a small set, so that most have equals.
  std::vector<std::string> lines(int n, unsigned char sep, int distinct) {
    std::vector<std::string> pool;
    for (int i = 0; i < distinct; ++i) pool.push_back(line(sep));
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) out.push_back(chance(50) ? pool[static_cast<std::size_t>(pick(distinct))] : line(sep));
    return out;
  }
  Order settings() {
    Order s;
    s.separator = chance(25) ? ',' : 0;
    s.ignore_case = chance(40);
    s.rev_flag = chance(30);
    const int keys = chance(25) ? 0 : 1 + pick(4);
    static const int types[] = {kText, kText, kHex, kNumeric, kTime, kDate, 1, 7};
    for (int k = 0; k < keys; ++k) {
      Key key{.no = 1 + pick(4)};
      key.type = types[pick(8)];
      if (chance(25)) key.pos = pick(4);
      if (chance(25)) key.len = 1 + pick(5);
      key.rev = chance(30) ? 1 : 0;
      s.keys.push_back(key);
    }
    return s;
  }
};

TEST_F(SortLines, RandomSmallInputsMatchStableSort) {
  Generator gen{std::mt19937(20240315u), true};
  int reported = 0, quiet = 0;
  for (int round = 0; round < 600; ++round) {
    const Order s = gen.settings();
    apply(s);
    const int n = gen.pick(120);
    const std::vector<std::string> lines = gen.lines(n, s.separator, 1 + gen.pick(8));
    Input table = make_table(lines);
    const SortResult r = run_sort(table);
    SCOPED_TRACE("round " + std::to_string(round) + " " + describe(s));
    ASSERT_EQ(r.order, stable_reference(table));
    const bool expect = some_pair_consults_failure(table);
    ASSERT_EQ(r.err, expect ? kFloatMessage : "");
    (expect ? reported : quiet) += 1;
  }
  // The generator must exercise both outcomes of the report.
  EXPECT_GT(reported, 20);
  EXPECT_GT(quiet, 20);
}

TEST_F(SortLines, RandomLargeInputsAreSplitAndMerged) {
  // Sizes around and well above the point where the work is split between
  // threads, with many equal lines.
  Generator gen{std::mt19937(777u), false};
  const int sizes[] = {32767, 32768, 32769, 65537, 100000, 100000, 100003, 120000};
  for (const int n : sizes) {
    const Order s = gen.settings();
    apply(s);
    const std::vector<std::string> lines = gen.lines(n, s.separator, 50);
    Input table = make_table(lines);
    const SortResult r = run_sort(table);
    SCOPED_TRACE(std::to_string(n) + " lines, " + describe(s));
    ASSERT_EQ(r.order, stable_reference(table));
    EXPECT_EQ(r.err, "");
  }
}

TEST_F(SortLines, LargeWholeLineInputsUnderIgnoreCaseAndReverse) {
  Generator gen{std::mt19937(4242u), false};
  const Order variants[] = {
      {}, {.ignore_case = 1}, {.rev_flag = 1}, {.ignore_case = 1, .rev_flag = 1}};
  for (const Order& s : variants) {
    apply(s);
    const std::vector<std::string> lines = gen.lines(100000, 0, 200);
    Input table = make_table(lines);
    const SortResult r = run_sort(table);
    SCOPED_TRACE(describe(s));
    ASSERT_EQ(r.order, stable_reference(table));
  }
}

TEST_F(SortLines, LongSharedPrefixes) {
  // Lines that agree on their first 8, 16 or 24 bytes and differ later,
  // with double-byte characters across every 8-byte boundary, so that the
  // order is decided deep inside the text.
  const char* const heads[] = {
      "", "abcdefgh", "ABCDEFGHabcdefgh", "a\x82\xA0\x82\xA0\x82\xA0\x82\xA0", "abcdefg\x83\x41",
      "abcdefg\x83\x61", "abcdefg\x83", "\xB1\xB2\xB3\xB4\xB5\xB6\xB7\xB8\xB9", "k1,abcdefghijklmnopq",
      "k1,ABCDEFGHijklmnopq,"};
  const char* const units[] = {"a", "A", "b", "\\", "\x81\x40", "\x83\x41", "\x83\x61", "\xB1", " ", ",", "1", "9"};
  const Order variants[] = {
      {},
      {.ignore_case = 1},
      {.ignore_case = 1, .rev_flag = 1},
      {.keys = {{.no = 2}, {.no = 1, .type = kNumeric}}, .separator = ','},
      {.keys = {{.no = 2, .rev = 1}, {.no = 3}}, .separator = ',', .ignore_case = 1},
      {.keys = {{.no = 1, .pos = 3, .len = 14}, {.no = 2}}, .ignore_case = 1},
      {.keys = {{.no = 1, .pos = 1}}},
  };
  std::mt19937 rng(31337u);
  auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  for (const Order& s : variants) {
    for (const int n : {300, 70000}) {
      apply(s);
      std::vector<std::string> lines;
      for (int i = 0; i < n; ++i) {
        std::string line = heads[pick(std::size(heads))];
        const int tail = pick(14);
        for (int u = 0; u < tail; ++u) line += units[pick(std::size(units))];
        if (pick(6) == 0) line += "\x82";  // a lone first byte at the end
        if (pick(5) != 0) line += "\n";
        if (line.empty()) line = "\n";
        lines.push_back(line);
      }
      Input table = make_table(lines);
      const SortResult r = run_sort(table);
      SCOPED_TRACE(std::to_string(n) + " lines, " + describe(s));
      ASSERT_EQ(r.order, stable_reference(table));
    }
  }
}

TEST_F(SortLines, LargeInputsOfFewDistinctLinesKeepInputOrder) {
  // 100000 lines of five texts: the output holds each text's lines in input
  // order, the texts in byte order.
  apply({});
  // Short texts, and long ones that share their first 24 bytes or more.
  const char* const texts[] = {"pear\n", "apple\n", "fig\n", "apple", "Fig\n",
                               "/srv/backup1/usr/share/doc/a\n", "/srv/backup1/usr/share/doc/a",
                               "/srv/backup1/usr/share/doc/\n"};
  std::vector<std::string> lines;
  std::mt19937 rng(99u);
  for (int i = 0; i < 100000; ++i) lines.push_back(texts[rng() % std::size(texts)]);
  Input table = make_table(lines);
  const SortResult r = run_sort(table);
  const char* const by_order[] = {"/srv/backup1/usr/share/doc/\n", "/srv/backup1/usr/share/doc/a",
                                  "/srv/backup1/usr/share/doc/a\n", "Fig\n", "apple", "apple\n", "fig\n", "pear\n"};
  std::vector<const char*> expected;
  for (const char* text : by_order) {
    for (int i = 0; i < table.line_count; ++i) {
      if (lines[static_cast<std::size_t>(i)] == text) expected.push_back(table.lines[i]);
    }
  }
  EXPECT_EQ(r.order, expected);
}

TEST_F(SortLines, LargeSortedAndReversedInputs) {
  apply({.keys = {{.no = 1, .type = kNumeric}}});
  std::vector<std::string> ascending, descending;
  for (int i = 0; i < 100000; ++i) {
    ascending.push_back(std::to_string(i / 3) + " " + std::to_string(i) + "\n");
    descending.push_back(std::to_string((99999 - i) / 3) + " " + std::to_string(i) + "\n");
  }
  {
    Input table = make_table(ascending);
    const SortResult r = run_sort(table);
    EXPECT_EQ(r.order, table.lines);  // already in order
  }
  {
    Input table = make_table(descending);
    const SortResult r = run_sort(table);
    // Line i has the key (99999 - i) / 3: the groups come out smallest key
    // first, and the three lines of a group in input order.
    std::vector<const char*> expected;
    for (int g = 0; g <= 33333; ++g) {
      for (int i = 99999 - 3 * g - 2; i <= 99999 - 3 * g; ++i) {
        if (i >= 0) expected.push_back(table.lines[i]);
      }
    }
    EXPECT_EQ(r.order, expected);
  }
}

}  // namespace
}  // namespace qorla
