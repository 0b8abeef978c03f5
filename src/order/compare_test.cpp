#include "order/compare.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "order/settings.h"
#include "order/test_support.h"

namespace qorla {
namespace {

int sign(int v) { return (v > 0) - (v < 0); }

using test_support::apply;
using test_support::Key;
using test_support::Order;
using test_support::printable;
using test_support::random_lines;
using test_support::random_setup;
using test_support::describe;

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

}  // namespace
}  // namespace qorla
