#include "order/compare.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "order/settings.h"
#include "order/sort_prefix.h"
#include "order/test_support.h"

namespace qorla {
namespace {

int sign(int v) { return (v > 0) - (v < 0); }

using test_support::apply;
using test_support::Key;
using test_support::Order;
using test_support::printable;

struct CompareCase {
  const char* a;
  const char* b;
  int expected;  // sign of comp(a, b)
};

// Checks each case both ways round, and that comparing writes nothing.
void check(const Order& setup, std::initializer_list<CompareCase> cases) {
  apply(setup);
  for (const CompareCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "a=\"" << printable(c.a) << "\" b=\"" << printable(c.b) << "\"");
    std::string a = c.a, b = c.b;
    EXPECT_EQ(sign(comp(a.c_str(), b.c_str())), c.expected);
    EXPECT_EQ(sign(comp(b.c_str(), a.c_str())), -c.expected);
    EXPECT_EQ(a, c.a);
    EXPECT_EQ(b, c.b);
  }
}

TEST(Compare, WholeLines) {
  // the line feed (0x0A) is below the blank
  check({}, {
                {"ab\n", "ab c\n", -1},
                {"ab", "ab\n", -1},
                {"ab\n", "ab\n", 0},
                {"", "", 0},
                {"\n", "a\n", -1},
                {"ABC\n", "abc\n", -1},
                {"_\n", "B\n", 1},
                {"line\\\n", "line\n", 1},
                // bytes compare unsigned
                {"\x82\xA0\n", "a\n", 1},
                {"\xB1\n", "\x82\xA0\n", 1},
            });
  check({.rev_flag = 1}, {
                             {"ab\n", "ab c\n", 1},
                             {"ab", "ab\n", 1},
                             {"ab\n", "ab\n", 0},
                             {"ABC\n", "abc\n", 1},
                         });
  check({.ignore_case = 1}, {
                                {"ABC\n", "abc\n", 0},
                                {"_\n", "B\n", -1},
                                {"_\n", "b\n", -1},
                                {"line\\\n", "line\n", -1},
                                {"\xB1\n", "\x82\xA0\n", -1},
                                {"ab\n", "AB C\n", -1},
                                {"x\x82", "x\x82\n", -1},
                            });
  check({.ignore_case = 1, .rev_flag = 1}, {
                                               {"ABC\n", "abc\n", 0},
                                               {"_\n", "B\n", 1},
                                               {"ab\n", "AB C\n", 1},
                                           });
}

TEST(Compare, MissingFields) {
  check({.keys = {{2}}}, {
                             {"a\n", "a b\n", -1},
                             {"a \n", "a \x01\n", -1},
                             {"a\n", "b\n", 0},
                         });
  check({.keys = {{2, kText, 0, kWholeField, 1}}}, {
                                                       {"a\n", "a b\n", 1},
                                                       {"a\n", "b\n", 0},
                                                   });
  // a missing field sorts before any value, also before invalid or negative ones
  check({.keys = {{2, kNumeric}}}, {{"a\n", "a -5\n", -1}, {"a\n", "a 1e39\n", -1}, {"a\n", "a -INF\n", -1}});
  check({.keys = {{2, kDate}}}, {{"a\n", "a junk\n", -1}});
  check({.keys = {{2, kHex, 0, kWholeField, 1}}}, {{"a\n", "a 7FFFFFFF\n", 1}});
  // key 1 missing in both lines: equal, whatever key 2 says
  check({.keys = {{3}, {1}}}, {{"a b\n", "c d\n", 0}, {"a\n", "b\n", 0}, {"a b\n", "c d e\n", -1}});
  check({.keys = {{3, kNumeric, 0, kWholeField, 1}, {1, kText, 0, kWholeField, 1}}}, {{"a b\n", "c d\n", 0}});
  // key 1 equal, key 2 missing on one side
  check({.keys = {{1}, {2}}}, {{"x\n", "x y\n", -1}, {"x\n", "w y\n", 1}});
  // the line of only separators has no field at all
  check({.keys = {{1}}}, {{" \t \n", "a\n", -1}, {"\n", "", 0}});
}

TEST(Compare, KeyedOrderIgnoresTheWholeLineReverseFlag) {
  // -v reaches keyed comparison only through the keys' own flags.
  check({.keys = {{1}}, .rev_flag = 1}, {{"a\n", "b\n", -1}, {"a\n", "a b\n", 0}});
  check({.keys = {{2}}, .rev_flag = 1}, {{"a\n", "a b\n", -1}});
  check({.keys = {{1, kText, 0, kWholeField, 1}}, .rev_flag = 1}, {{"a\n", "b\n", 1}});
}

TEST(Compare, Numeric) {
  check({.keys = {{1, kNumeric}}}, {
                                       {"1e39\n", "3e38\n", 1},
                                       {"-1e39\n", "-3e38\n", 1},
                                       {"1e39\n", "+INF\n", 1},
                                       {"+NAN\n", "5\n", 1},
                                       {"+NAN\n", "1e39\n", 0},
                                       {"1e39\n", "-1e400\n", 0},
                                       {"16777216\n", "16777217\n", 0},
                                       {"0.1\n", "0.10000000149\n", 0},
                                       {"-0\n", "0\n", 0},
                                       {"+INF\n", "3.4e38\n", 1},
                                       {"-INF\n", "-3.4e38\n", -1},
                                       {"abc\n", "0\n", 0},
                                       {"12abc\n", "12\n", 0},
                                       {"-1\n", "abc\n", -1},
                                       {"-3.5e2\n", "-350\n", 0},
                                       {"9\n", "10\n", -1},
                                       {"0x1F\n", "0\n", 0},
                                       {"1e-50\n", "0\n", 0},
                                   });
  check({.keys = {{1, kNumeric, 0, kWholeField, 1}}}, {
                                                          {"1e39\n", "3e38\n", -1},
                                                          {"9\n", "10\n", 1},
                                                          {"1e39\n", "1e40\n", 0},
                                                      });
  // two failed keys are equal and the next key decides
  check({.keys = {{1, kNumeric}, {2}}}, {{"1e39 b\n", "-1e40 a\n", 1}, {"+NAN b\n", "1e39 b\n", 0}});
  // under a separator character the blank belongs to the key text
  check({.keys = {{1, kNumeric}}, .separator = ','}, {{"1,5\n", "1\n", 0}, {" 7 x,1\n", "7,0\n", 0}});
}

TEST(Compare, NumericFailureTrace) {
  struct TraceCase {
    const char* a;
    const char* b;
    bool consulted;
  };
  apply({.keys = {{1}, {2, kNumeric}, {3}}});
  const TraceCase cases[] = {
      {"x 1 a\n", "x 2 a\n", false},
      {"x 1e39 a\n", "x 2 a\n", true},
      {"x 1 a\n", "x -1e39 a\n", true},
      {"x 1e39 a\n", "x 1e39 b\n", true},
      {"x +NAN a\n", "x 5 a\n", true},
      {"x +INF a\n", "x -INF a\n", false},
      // the first key decides before the numeric key is reached
      {"a 1e39\n", "b 2\n", false},
      // the numeric key is missing in one line
      {"x\n", "x 1e39\n", false},
  };
  for (const TraceCase& c : cases) {
    CompareTrace trace;
    comp_keys(c.a, c.b, 0, &trace);
    EXPECT_EQ(trace.numeric_failure_consulted, c.consulted) << c.a << " / " << c.b;
    CompareTrace reverse;
    comp_keys(c.b, c.a, 0, &reverse);
    EXPECT_EQ(reverse.numeric_failure_consulted, c.consulted) << c.b << " / " << c.a;
  }
  // key 1 missing in both lines: nothing further is consulted
  apply({.keys = {{3}, {1, kNumeric}}});
  CompareTrace trace;
  EXPECT_EQ(comp_keys("1e39 a\n", "5 a\n", 0, &trace), 0);
  EXPECT_FALSE(trace.numeric_failure_consulted);
  // starting past the failed key consults only what follows
  apply({.keys = {{1, kNumeric}, {2}}});
  CompareTrace later;
  EXPECT_LT(comp_keys("1e39 a\n", "1e39 b\n", 1, &later), 0);
  EXPECT_FALSE(later.numeric_failure_consulted);
  CompareTrace earlier;
  EXPECT_LT(comp_keys("1e39 a\n", "1e39 b\n", 0, &earlier), 0);
  EXPECT_TRUE(earlier.numeric_failure_consulted);
}

TEST(Compare, HasFailedNumericKey) {
  apply({.keys = {{1, kNumeric}, {2}, {3, kNumeric}}});
  EXPECT_TRUE(has_numeric_key());
  EXPECT_TRUE(has_failed_numeric_key("1e39 x 5\n", 0));
  EXPECT_FALSE(has_failed_numeric_key("1e39 x 5\n", 1));
  EXPECT_TRUE(has_failed_numeric_key("5 x -1e39\n", 1));
  EXPECT_TRUE(has_failed_numeric_key("5 x +NAN\n", 2));
  EXPECT_FALSE(has_failed_numeric_key("5 1e39 +INF\n", 0));  // key 2 is text
  EXPECT_FALSE(has_failed_numeric_key("5 x\n", 0));          // key 3 missing
  EXPECT_FALSE(has_failed_numeric_key("\n", 0));
  apply({.keys = {{1}, {2, kHex}}});
  EXPECT_FALSE(has_numeric_key());
  EXPECT_FALSE(has_failed_numeric_key("1e39 1e39\n", 0));
  apply({});
  EXPECT_FALSE(has_numeric_key());
}

TEST(Compare, Dates) {
  check({.keys = {{1, kDate}}}, {
                                    {"2024/03/15\n", "24/3/15\n", 0},
                                    {"50/1/1\n", "51/1/1\n", 1},
                                    {"12/31\n", "100/1/1\n", -1},
                                    {"junk\n", "1/1\n", -1},
                                    {"junk\n", "13/1\n", 0},
                                    {"2024/2/31\n", "2024/3/1\n", -1},
                                });
  // with a separator character, a date followed by a blank and more text is invalid
  check({.keys = {{1, kDate}}, .separator = ','}, {
                                                      {"2024/03/15 x,a\n", "1/1,b\n", -1},
                                                      {"2024/03/15 x,a\n", "junk,b\n", 0},
                                                      {"2024/03/15,a\n", "24/3/15,b\n", 0},
                                                  });
  check({.keys = {{1, kDate, 0, kWholeField, 1}}}, {{"junk\n", "1/1\n", 1}});
}

TEST(Compare, HexAndTime) {
  check({.keys = {{1, kHex}}}, {
                                   {"0x1F\n", "1f\n", 0},
                                   {"-1\n", "0\n", -1},
                                   {"7FFFFFFF\n", "-7FFFFFFF\n", 1},
                                   {"zz\n", "0\n", 0},
                                   {"A\n", "9\n", 1},
                                   {"80000000\n", "8000000\n", 0},
                               });
  check({.keys = {{1, kTime}}}, {
                                    {"90\n", "23:59:59\n", 1},
                                    {"1:2:3:4\n", "1:2:3\n", 0},
                                    {"-0:30\n", "0\n", -1},
                                    {"12:30\n", "12:29:60\n", 0},
                                    {"abc\n", "0:0:0\n", 0},
                                });
}

TEST(Compare, TextKeys) {
  check({.keys = {{1}}}, {
                             {"ABC\n", "abc\n", -1},
                             {"_\n", "B\n", 1},
                             {"10\n", "9\n", -1},
                             // the key ends at the blank: "ab" against "abc"
                             {"ab c\n", "abc\n", -1},
                             {"a \x01\n", "a\x01\n", -1},
                             {"\x82\n", "a\n", 1},
                             {"x\n", "x\n", 0},
                         });
  check({.keys = {{1}}, .ignore_case = 1}, {
                                               {"ABC\n", "abc\n", 0},
                                               {"_\n", "B\n", -1},
                                               {"\xB1\n", "\x82\xA0\n", -1},
                                               {"\x82\x60\n", "\x82\x81\n", -1},
                                               {"ab\x82 1\n", "AB\x82 2\n", 0},
                                           });
  // a key that ends in a lone first byte ends there, whatever byte follows in the line
  check({.keys = {{1, kText, 0, 3}}, .ignore_case = 1}, {{"ab\x82X\n", "AB\x82Y\n", 0}, {"ab\x82X\n", "AB\x83X\n", -1}});
  check({.keys = {{1}, {2}}, .ignore_case = 1}, {{"ABC x\n", "abc y\n", -1}, {"ABC y\n", "abc x\n", 1}});
  // type codes other than 2 to 5 compare as text
  check({.keys = {{1, 1}}}, {{"10\n", "9\n", -1}, {"b\n", "a\n", 1}});
  check({.keys = {{1, 7}}}, {{"10\n", "9\n", -1}});
  check({.keys = {{1, -3}}}, {{"0x10\n", "0x9\n", -1}});
  // position and length inside the field
  check({.keys = {{1, kText, 1, 2}}}, {{"xabz\n", "yabw\n", 0}, {"xabz\n", "yacw\n", -1}, {"xa\n", "ya\n", 0}});
  check({.keys = {{1, kNumeric, 2, 3}}}, {{"ab123999\n", "cd1239\n", 0}, {"ab-5\n", "cd4\n", -1}});
}

TEST(Compare, EmptyKeyBeyondItsField) {
  // position 9: empty in "ab", "-5"/"jk"/... in the longer fields
  check({.keys = {{1, kText, 9}}}, {{"ab\n", "cd\n", 0}, {"ab\n", "abcdefghijk\n", -1}});
  check({.keys = {{1, kNumeric, 9}}}, {{"ab\n", "abcdefghijk\n", 0}, {"ab\n", "abcdefghi-5\n", 1}, {"ab\n", "abcdefghi5\n", -1}});
  check({.keys = {{1, kHex, 9}}}, {{"ab\n", "abcdefghijk\n", 0}, {"ab\n", "abcdefghi-1\n", 1}});
  check({.keys = {{1, kTime, 9}}}, {{"ab\n", "abcdefghi:\n", 0}, {"ab\n", "abcdefghi-1\n", 1}});
  check({.keys = {{1, kDate, 9}}}, {{"ab\n", "abcdefghijk\n", 0}, {"ab\n", "abcdefghi1/1\n", -1}});
  // an empty key still counts as present: the next key decides
  check({.keys = {{1, kText, 9}, {2}}}, {{"ab y\n", "cd x\n", 1}});
}

// ---------------------------------------------------------------------------
// Random lines and key tables.

const char* const kTokens[] = {
    "12", "-3.5e2", "1e39", "-1e40", "+INF", "-INF", "+NAN", "0", "-0", "16777216", "16777217", "0.1",
    "0.10000000149", "0x1F", "1f", "7FFFFFFF", "-7FFFFFFF", "80000000", "-1", "2024/03/15", "24/3/15",
    "12/31", "1/1", "13/1", "12:30:45", "-1:30", "90", "1:2:3:4", "abc", "ABC", "_", "B", "\\", "x\\",
    "\x82\xA0", "\x82\x60", "\x82\x81", "\x82", "\xB1", "a\x81\x40" "b", "abcdefgh1", "abcdefgh2",
    "ABCDEFGH1", "abcdefgh", "abcdefg", "abcdefghi", "\x82\xA0\x82\xA0\x82\xA0\x82\xA0x",
    "\x82\xA0\x82\xA0\x82\xA0\x82\xA0y", "\x82\xA0\x82\xA0\x82\xA0\x82", "1e-50", "3e38", "1,5",
    "\x01", "\x7F", "\xFF", "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF",
    // second bytes whose own collation codes would order differently
    "\x82" "A", "\x82" "a", "\x82\\", "\x82\xB1", "\x82\x82", "\x82" "B",
};

std::string random_line(std::mt19937& rng) {
  static const char* const separators[] = {" ", "\t", "  ", ",", ",,", ":", " , "};
  std::string line;
  if (rng() % 4 == 0) line += separators[rng() % 7];
  const int fields = static_cast<int>(rng() % 5);
  for (int f = 0; f < fields; ++f) {
    if (f > 0) line += separators[rng() % 7];
    line += kTokens[rng() % (sizeof kTokens / sizeof kTokens[0])];
  }
  if (rng() % 5 == 0) line += separators[rng() % 7];
  if (rng() % 8 == 0) line += "\\\nmore text";  // a joined line
  if (rng() % 10 == 0) line += '\x82';           // a lone first byte at the end
  if (rng() % 6 != 0) line += '\n';              // the last line of a file may lack one
  return line;
}

Order random_setup(std::mt19937& rng) {
  static const int types[] = {kText, kText, 1, kHex, kNumeric, kNumeric, kTime, kDate};
  static const int positions[] = {0, 0, 0, 1, 3, 9};
  static const int lengths[] = {kWholeField, kWholeField, kWholeField, 1, 2, 8, 9};
  static const unsigned char seps[] = {0, 0, ',', ':'};
  Order s;
  s.separator = seps[rng() % 4];
  s.ignore_case = static_cast<int>(rng() % 2);
  s.rev_flag = static_cast<int>(rng() % 2);
  const int keys = rng() % 4 == 0 ? 0 : static_cast<int>(1 + rng() % 3);
  for (int k = 0; k < keys; ++k) {
    Key key{static_cast<int>(1 + rng() % 4)};
    key.type = types[rng() % 8];
    key.pos = positions[rng() % 6];
    key.len = lengths[rng() % 7];
    key.rev = static_cast<int>(rng() % 2);
    s.keys.push_back(key);
  }
  return s;
}

std::string describe(const Order& s) {
  std::string out = "sep " + std::to_string(s.separator) + " -i " + std::to_string(s.ignore_case) + " -v " +
                    std::to_string(s.rev_flag) + " keys";
  for (const Key& k : s.keys) {
    out += " {no " + std::to_string(k.no) + " type " + std::to_string(k.type) + " pos " + std::to_string(k.pos) +
           " len " + std::to_string(k.len) + " rev " + std::to_string(k.rev) + "}";
  }
  return out;
}

std::vector<std::string> random_lines(std::mt19937& rng, int count) {
  std::vector<std::string> lines;
  for (int i = 0; i < count; ++i) {
    // repeat earlier lines now and then, so that equal lines meet
    if (i > 0 && rng() % 8 == 0) {
      lines.push_back(lines[rng() % lines.size()]);
    } else {
      lines.push_back(random_line(rng));
    }
  }
  return lines;
}

TEST(Compare, IsATotalPreorder) {
  std::mt19937 rng(31337);
  for (int round = 0; round < 250; ++round) {
    const Order setup = random_setup(rng);
    apply(setup);
    const std::vector<std::string> lines = random_lines(rng, 36);
    const std::vector<std::string> copies = lines;
    const std::size_t n = lines.size();
    std::vector<int> r(n * n);
    for (std::size_t i = 0; i < n; ++i) {
      for (std::size_t j = 0; j < n; ++j) r[i * n + j] = sign(comp(lines[i].c_str(), lines[j].c_str()));
    }
    ASSERT_EQ(lines, copies) << "comparison changed a line";
    for (std::size_t i = 0; i < n; ++i) {
      ASSERT_EQ(r[i * n + i], 0) << describe(setup) << " line " << printable(lines[i]);
      for (std::size_t j = 0; j < n; ++j) {
        ASSERT_EQ(r[i * n + j], -r[j * n + i])
            << describe(setup) << "\n" << printable(lines[i]) << "\n" << printable(lines[j]);
        for (std::size_t k = 0; k < n; ++k) {
          const int ij = r[i * n + j], jk = r[j * n + k], ik = r[i * n + k];
          if (ij <= 0 && jk <= 0) {
            const bool ok = (ij < 0 || jk < 0) ? ik < 0 : ik == 0;
            ASSERT_TRUE(ok) << describe(setup) << "\n"
                            << printable(lines[i]) << "\n"
                            << printable(lines[j]) << "\n"
                            << printable(lines[k]);
          }
        }
      }
    }
  }
}

// The order the sort uses: prefixes first; on equal prefixes the key
// comparison from tie_start (none when tie_start is negative). The input
// position, which comes last, is left out here.
int record_order(const char* a, std::uint64_t pa, const char* b, std::uint64_t pb) {
  if (pa != pb) return pa < pb ? -1 : 1;
  const int start = tie_start(pa);
  if (start < 0) return 0;
  return sign(comp_keys(a, b, start, nullptr));
}

// The same order refined level by level: equal prefixes of one level go on
// to the level that tie_rule names, until the prefixes differ, the rule
// says the lines are equal, or the key comparison takes over.
int level_order(const char* a, const char* b) {
  Level level;
  for (int steps = 0; steps < 10000; ++steps) {
    const std::uint64_t pa = level_prefix(a, level), pb = level_prefix(b, level);
    if (pa != pb) return pa < pb ? -1 : 1;
    const TieRule rule = tie_rule(pa, level);
    if (rule == TieRule::kEqual) return 0;
    if (rule == TieRule::kCompare) return sign(comp_keys(a, b, level.key, nullptr));
    level = next_level(level, rule);
  }
  ADD_FAILURE() << "the levels never end";
  return 2;
}

void check_records_agree(const Order& setup, const std::vector<std::string>& lines) {
  apply(setup);
  std::vector<std::uint64_t> prefix;
  for (const std::string& line : lines) prefix.push_back(sort_prefix(line.c_str()));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    for (std::size_t j = 0; j < lines.size(); ++j) {
      const int expected = sign(comp(lines[i].c_str(), lines[j].c_str()));
      const int got = record_order(lines[i].c_str(), prefix[i], lines[j].c_str(), prefix[j]);
      ASSERT_EQ(got, expected) << describe(setup) << "\n"
                               << printable(lines[i]) << " prefix " << std::hex << prefix[i] << "\n"
                               << printable(lines[j]) << " prefix " << prefix[j];
      ASSERT_EQ(level_order(lines[i].c_str(), lines[j].c_str()), expected)
          << describe(setup) << "\n" << printable(lines[i]) << "\n" << printable(lines[j]);
    }
  }
}

TEST(Compare, PrecomputedOrderEqualsComp) {
  std::mt19937 rng(2718);
  for (int round = 0; round < 600; ++round) {
    const Order setup = random_setup(rng);
    check_records_agree(setup, random_lines(rng, 30));
  }
}

TEST(Compare, PrecomputedOrderEqualsCompForWholeLines) {
  std::mt19937 rng(1618);
  for (int ignore_case = 0; ignore_case < 2; ++ignore_case) {
    for (int rev = 0; rev < 2; ++rev) {
      for (int round = 0; round < 40; ++round) {
        Order setup;
        setup.ignore_case = ignore_case;
        setup.rev_flag = rev;
        check_records_agree(setup, random_lines(rng, 40));
      }
    }
  }
}

TEST(Compare, PrecomputedOrderOnHandPickedLines) {
  // Lines that share their first eight bytes, or their first eight
  // collation codes, or end inside a double-byte character.
  const std::vector<std::string> lines = {
      "abcdefgh\n",    "abcdefgh",      "abcdefgh1\n",   "abcdefgh2\n",  "ABCDEFGH1\n",   "abcdefg\n",
      "abcdefg",       "abcdefg\x82",   "abcdefg\x82\n", "abcdef\x82",   "abcdef\x82\x40", "abcdef\x82\x41",
      "",              "\n",            "\\\n",          "\\",           "ab\\\ncd\n",    "ab\\\nce\n",
      "\xB1\xB1\xB1\xB1\xB1\xB1\xB1\xB1\n", "\xB1\xB1\xB1\xB1\xB1\xB1\xB1\xB1x",
      "\x82\xA0\x82\xA0\x82\xA0\x82\xA0x", "\x82\xA0\x82\xA0\x82\xA0\x82\xA0y",
      "\x82\xA0\x82\xA0\x82\xA0\x82",      "\x82\xA0\x82\xA0\x82\xA0\x82\n",
      "\x82\xA0\x82\xA0\x82\xA0\x82\xA0", "a\x82\xA0\x82\xA0\x82\xA0\x82\xA0",
      "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\n", "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF",
      "1e39 a\n",      "1e39 b\n",      "+NAN a\n",      "1e40\n",       "-0 x\n",        "0 x\n",
      "16777216 q\n",  "16777217 p\n",  "+INF\n",        "-INF\n",       " \t\n",         "x\n",
      "12:30 a\n",     "12:29:60 b\n",  "24/3/15 c\n",   "2024/03/15 d\n", "0x1F e\n",     "1f f\n",
      "abcdefgh 1e39\n", "abcdefgh 5\n", "ABCDEFGH 5\n",  "abcdefgh\t5\n", "abcdefghij 1\n",
      // a double-byte character across the eighth and ninth bytes, and
      // across the sixteenth and seventeenth, with second bytes that
      // collate differently from their raw values
      "abcdefg\x82" "A\n", "abcdefg\x82" "a\n", "ABCDEFG\x82" "b\n", "abcdefg\x82\\\n",
      "abcdefg\x82\xB1\n", "abcdefg\x82\x82" "A\n", "abcdefg\x82\x82" "a\n", "abcdefg\x82\n",
      "abcdefghijklmno\x82" "A\n", "ABCDEFGHIJKLMNO\x82" "a\n", "abcdefghijklmno\x82\xB1\n",
      "abcdefghijklmno\x82", "abcdefghijklmnop\n",
  };
  static const int types[] = {kText, 1, kHex, kNumeric, kTime, kDate};
  for (int type : types) {
    for (int rev = 0; rev < 2; ++rev) {
      for (int ignore_case = 0; ignore_case < 2; ++ignore_case) {
        for (int second_rev = 0; second_rev < 2; ++second_rev) {
          Order keyed;
          keyed.ignore_case = ignore_case;
          keyed.keys = {{1, type, 0, kWholeField, rev}, {2, kNumeric, 0, kWholeField, second_rev}};
          check_records_agree(keyed, lines);
          Order second_field;
          second_field.ignore_case = ignore_case;
          second_field.keys = {{2, type, 0, kWholeField, rev}, {1, kText, 0, kWholeField, second_rev}};
          check_records_agree(second_field, lines);
          Order shortened;
          shortened.ignore_case = ignore_case;
          shortened.keys = {{1, type, 2, 7, rev}, {1, kText, 0, 3, second_rev}};
          check_records_agree(shortened, lines);
        }
      }
      Order whole;
      whole.rev_flag = rev;
      whole.ignore_case = type == kText;
      check_records_agree(whole, lines);
    }
  }
}

TEST(Compare, PrefixAgreesWithTheFirstKeyAlone) {
  // prefix(a) < prefix(b) must imply comp(a, b) < 0 for any key table.
  std::mt19937 rng(4711);
  for (int round = 0; round < 300; ++round) {
    const Order setup = random_setup(rng);
    apply(setup);
    const auto lines = random_lines(rng, 30);
    for (const std::string& a : lines) {
      for (const std::string& b : lines) {
        const std::uint64_t pa = sort_prefix(a.c_str()), pb = sort_prefix(b.c_str());
        if (pa < pb) {
          ASSERT_LT(comp(a.c_str(), b.c_str()), 0) << describe(setup) << "\n" << printable(a) << "\n" << printable(b);
        }
      }
    }
  }
}

TEST(Compare, PrefixMarksFailedNumbers) {
  for (int rev = 0; rev < 2; ++rev) {
    apply({.keys = {{1, kNumeric, 0, kWholeField, rev}}});
    EXPECT_TRUE(prefix_marks_failed_number(sort_prefix("1e39\n")));
    EXPECT_TRUE(prefix_marks_failed_number(sort_prefix("+NAN x\n")));
    EXPECT_FALSE(prefix_marks_failed_number(sort_prefix("+INF\n")));
    EXPECT_FALSE(prefix_marks_failed_number(sort_prefix("3e38\n")));
    EXPECT_FALSE(prefix_marks_failed_number(sort_prefix("\n")));
    EXPECT_FALSE(prefix_marks_failed_number(sort_prefix("abc\n")));
  }
  apply({.keys = {{1}}});
  EXPECT_FALSE(prefix_marks_failed_number(sort_prefix("1e39\n")));
}

}  // namespace
}  // namespace qorla
