#include "sort/sort_prefix.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "order/compare.h"
#include "order/settings.h"
#include "order/test_support.h"

namespace qorla {
namespace {

int sign(int v) { return (v > 0) - (v < 0); }

using test_support::apply;
using test_support::describe;
using test_support::Order;
using test_support::printable;
using test_support::random_lines;
using test_support::random_setup;

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
    level = next_level(level, rule, level_text(a, level.key).text);
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

TEST(SortPrefix, PrecomputedOrderEqualsComp) {
  std::mt19937 rng(2718);
  for (int round = 0; round < 600; ++round) {
    const Order setup = random_setup(rng);
    check_records_agree(setup, random_lines(rng, 30));
  }
}

TEST(SortPrefix, PrecomputedOrderEqualsCompForWholeLines) {
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

TEST(SortPrefix, PrecomputedOrderOnHandPickedLines) {
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

TEST(SortPrefix, PrefixAgreesWithTheFirstKeyAlone) {
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

TEST(SortPrefix, PrefixMarksFailedNumbers) {
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
