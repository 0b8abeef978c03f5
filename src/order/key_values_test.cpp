#include "order/key_values.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace qorla {
namespace {

struct IntCase {
  std::string text;
  std::int32_t expected;
};

TEST(Tohex, Table) {
  const IntCase cases[] = {
      {"1F", 31},
      {"0x1f", 31},
      {"0X1F", 31},
      {"1f", 31},
      {"-10", -16},
      {"-0x10", -16},
      {"7FFFFFFF", 2147483647},
      {"-7FFFFFFF", -2147483647},
      // the eighth digit is not taken when the value would become negative
      {"80000000", 134217728},
      {"FFFFFFFF", 268435455},
      // the ninth digit is taken and the top digit's bits are lost
      {"123456789", 591751049},
      // the ninth digit would give 0 and is not taken
      {"100000000", 268435456},
      {"", 0},
      {"0x", 0},
      {"G1", 0},
      {" 1F", 0},
      {"0x-5", 0},
      {"+1F", 0},
      {"-0", 0},
      {"-", 0},
      {"1Fzz", 31},
      {"0x0x5", 0},
      {"00000000000000000001f", 31},
      {"abcdef", 0xABCDEF},
      {"ABCDEF12", 0x0ABCDEF1},  // the eighth digit would make it negative
      {"-FFFFFFFF", -268435455},
      {"1f\n", 31},
  };
  for (const IntCase& c : cases) EXPECT_EQ(tohex(c.text), c.expected) << '"' << c.text << '"';
}

TEST(Todate, Table) {
  const IntCase cases[] = {
      {"2024/03/15", 20240315},
      {"24/3/15", 20240315},
      {"50/1/1", 20500101},
      {"51/1/1", 19510101},
      {"0/1/1", 20000101},
      {"00/01/01", 20000101},
      {"0050/1/1", 20500101},
      {"99/12/31", 19991231},
      {"100/1/1", 1000101},
      {"9999/12/31", 99991231},
      {"2024/2/31", 20240231},
      {"12/31", 1231},
      {"1/1", 101},
      {"01/01", 101},
      // leading zeros are allowed in every component, however many
      {"000000000000000000002024/000000000003/0000000000015", 20240315},
      {"2024", -1},
      {"", -1},
      {"/", -1},
      {"2024/13/1", -1},
      {"2024/0/1", -1},
      {"2024/1/32", -1},
      {"2024/1/0", -1},
      {"10000/1/1", -1},
      {"2024/3", -1},
      {"13/1", -1},
      {"0/1", -1},
      {"1/0", -1},
      {"/5", -1},
      {"5/", -1},
      {"1//2", -1},
      {"//", -1},
      {"1/2/3/4", -1},
      {"1/2/3/", -1},
      {"2024-03-15", -1},
      {"2024.03.15", -1},
      {"2024/03/15 ", -1},
      {" 2024/03/15", -1},
      {"2024/03/15\n", -1},
      {"+24/3/15", -1},
      {"-24/3/15", -1},
      {"2024/03/1a", -1},
      {"\x82\x4F/1/1", -1},
      // components beyond 32 bits fail their range test rather than wrap
      {"4294967297/1", -1},      // 2^32 + 1
      {"1/4294967297", -1},
      {"2024/4294967299/1", -1},  // 2^32 + 3
      {"4294969320/1/1", -1},    // 2^32 + 2024
      {"99999999999999999999/1/1", -1},
      {"2024/1/99999999999999999999", -1},
      {"2147483648/1/1", -1},
      // 2^64 + 1 and 2^64 + 3: no wrap in any width may bring them into range
      {"18446744073709551617/1", -1},
      {"1/18446744073709551617", -1},
      {"2024/18446744073709551619/1", -1},
      {"2024/1/18446744073709551617", -1},
  };
  for (const IntCase& c : cases) EXPECT_EQ(todate(c.text, 50), c.expected) << '"' << c.text << '"';
}

TEST(Todate, Pivot) {
  struct PivotCase {
    const char* text;
    int pivot;
    std::int32_t expected;
  };
  const PivotCase cases[] = {
      // pivots outside 1..99 leave two-digit years as they are
      {"24/3/15", 0, 240315},
      {"24/3/15", 100, 240315},
      {"24/3/15", -5, 240315},
      {"24/3/15", 23, 19240315},
      {"24/3/15", 24, 20240315},
      {"0/1/1", 1, 20000101},
      {"99/1/1", 99, 20990101},
      {"100/1/1", 99, 1000101},
      {"12/31", 50, 1231},
  };
  for (const PivotCase& c : cases) EXPECT_EQ(todate(c.text, c.pivot), c.expected) << c.text << " pivot " << c.pivot;
}

TEST(Todate, InvalidBeforeMonthDayBeforeFullDates) {
  // Every invalid date is -1; month/day dates are at most 1231; with the
  // pivot 50 full dates are at least 1000101.
  EXPECT_LT(todate("garbage", 50), todate("1/1", 50));
  EXPECT_LT(todate("12/31", 50), todate("100/1/1", 50));
  EXPECT_LT(todate("12/31", 50), todate("0/1/1", 50));
}

TEST(Totime, Table) {
  const IntCase cases[] = {
      {"12:30:45", 45045},
      {"12:30", 45000},
      {"12", 43200},
      {"1:2:3", 3723},
      {"1:2:3:4", 3723},
      {"1:2:3:junk", 3723},
      {"-1:30", -5400},
      {"-0:30", -1800},
      {":30", 1800},
      {"::30", 30},
      {"25:61:61", 93721},
      {"12.5", 43200},
      {"90", 324000},
      {"", 0},
      {"-", 0},
      {"abc", 0},
      {"+1", 0},
      {" 1", 0},
      {"1 ", 3600},
      {"--1", 0},
      {"0:0:0", 0},
      {"00012:00030", 45000},
      {"12:30\n", 45000},
  };
  for (const IntCase& c : cases) EXPECT_EQ(totime(c.text), c.expected) << '"' << c.text << '"';
  EXPECT_GT(totime("90"), totime("23:59:59"));
}

// 32-bit two's-complement wrapping of v, computed on exact values.
std::int32_t wrap32(std::uint64_t v) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(v)); }

TEST(Totime, WrapsIn32Bits) {
  // Exact values reduced modulo 2^32: the wrapping arithmetic gives the same
  // residue whatever order the products and sums are formed in.
  const std::uint64_t big = 99999999999ULL;  // more digits than 32 bits hold
  const struct {
    std::string text;
    std::int32_t expected;
  } cases[] = {
      {"596524", wrap32(596524ULL * 3600)},                 // just beyond INT32_MAX seconds
      {"1000000:0:0", wrap32(1000000ULL * 3600)},
      {"2147483647", wrap32(2147483647ULL * 3600)},
      {"99999999999", wrap32(big * 3600)},
      {"0:99999999999", wrap32(big * 60)},
      {"0:0:99999999999", wrap32(big)},
      {"596523:14:7", 2147483647},
      {"596523:14:8", std::numeric_limits<std::int32_t>::min()},
      {"-596523:14:7", -2147483647},
      {"-596523:14:8", std::numeric_limits<std::int32_t>::min()},
      {"-596524", wrap32(0 - 596524ULL * 3600)},
      {"4294967296", 0},  // 2^32 hours
      {"1193047:100000000:100000000000", wrap32(1193047ULL * 3600 + 100000000ULL * 60 + 100000000000ULL)},
  };
  for (const auto& c : cases) EXPECT_EQ(totime(c.text), c.expected) << '"' << c.text << '"';
}

struct NumberCase {
  std::string text;
  float value;
  bool failed;
};

void check_numbers(const std::vector<NumberCase>& cases) {
  for (const NumberCase& c : cases) {
    SCOPED_TRACE(testing::Message() << '"' << c.text << '"');
    const NumericKey k = to_number(c.text);
    EXPECT_EQ(k.failed, c.failed);
    if (!c.failed) {
      EXPECT_FALSE(std::isnan(k.value));
      EXPECT_EQ(k.value, c.value);
    }
  }
}

TEST(ToNumber, Grammar) {
  const float inf = std::numeric_limits<float>::infinity();
  check_numbers({
      {"12abc", 12.0f, false},
      {"abc", 0.0f, false},
      {"", 0.0f, false},
      {"1,5", 1.0f, false},
      {"1.2.3", 1.2f, false},
      {"-3.5e2", -350.0f, false},
      {"3.5E+2", 350.0f, false},
      {"35e-1", 3.5f, false},
      {"0x1F", 0.0f, false},
      {"inf", 0.0f, false},
      {"INF", 0.0f, false},
      {"+inf", 0.0f, false},
      {"+INF", inf, false},
      {"-INF", -inf, false},
      {"+INFINITY", inf, false},
      {"+IN", 0.0f, false},
      {"NAN", 0.0f, false},
      {".5", 0.5f, false},
      {"5.", 5.0f, false},
      {"5.5", 5.5f, false},
      {"-.5", -0.5f, false},
      {".", 0.0f, false},
      {"-", 0.0f, false},
      {"+", 0.0f, false},
      {"+-5", 0.0f, false},
      {"- 5", 0.0f, false},
      {"+5", 5.0f, false},
      {".e5", 0.0f, false},
      {"1e", 1.0f, false},
      {"1e+", 1.0f, false},
      {"1e-x", 1.0f, false},
      {"2e3x", 2000.0f, false},
      {"1e2.5", 100.0f, false},
      {"1.e5", 100000.0f, false},
      {"+.5", 0.5f, false},
      {"00012", 12.0f, false},
      {"-0", 0.0f, false},
      {"0.000", 0.0f, false},
      // leading white space: 0x09 to 0x0D and the blank
      {" \t\n\v\f\r42", 42.0f, false},
      {"  -7", -7.0f, false},
      {"\x1C" "5", 0.0f, false},
      {"\x08" "5", 0.0f, false},
      {" +INF", inf, false},
  });
}

TEST(ToNumber, SinglePrecision) {
  check_numbers({
      // rounding to single precision makes these equal
      {"16777216", 16777216.0f, false},
      {"16777217", 16777216.0f, false},
      // halfway between 16777218 and 16777220: to even
      {"16777219", 16777220.0f, false},
      {"0.1", 0.1f, false},
      {"0.10000000149", 0.1f, false},
      {"0.1000000000000000000000000001", 0.1f, false},
      {"123456789012345678901234567890", static_cast<float>(123456789012345678901234567890.0), false},
      {"3e38", 3e38f, false},
      {"-3e38", -3e38f, false},
      // rounds down to the largest finite single-precision value
      {"3.4028235e38", FLT_MAX, false},
      // too small for single precision: 0 or a tiny value, never a failure
      {"1e-50", 0.0f, false},
      {"-1e-50", 0.0f, false},
      {"1e-400", 0.0f, false},
      {"1e-45", std::numeric_limits<float>::denorm_min(), false},
      {"0e999999999", 0.0f, false},
      // beyond single precision: failed
      {"1e39", 0.0f, true},
      {"-1e39", 0.0f, true},
      {"3.4028236e38", 0.0f, true},
      // 2^128 - 2^103 lies halfway between the largest finite value and 2^128
      // and rounds to even, upwards; one less is the same nearest double
      {"340282356779733661637539395458142568448", 0.0f, true},
      {"340282356779733661637539395458142568447", 0.0f, true},
      {"340282346638528859811704183484516925440", FLT_MAX, false},  // exactly the largest
      {"1e308", 0.0f, true},
      {"1e309", 0.0f, true},
      {"-1e400", 0.0f, true},
      {"1e99999999999999999999", 0.0f, true},
      // not-a-number counts as failed
      {"+NAN", 0.0f, true},
      {"-NAN", 0.0f, true},
      {" -NAN", 0.0f, true},
  });
  EXPECT_TRUE(to_number(std::string(400, '9')).failed);
  EXPECT_TRUE(to_number("1" + std::string(399, '0')).failed);
  EXPECT_FALSE(to_number("1" + std::string(38, '0')).failed);
  EXPECT_TRUE(to_number("1" + std::string(39, '0')).failed);
  EXPECT_FALSE(to_number("0." + std::string(400, '0') + "1").failed);
  EXPECT_EQ(to_number("0." + std::string(400, '0') + "1").value, 0.0f);
  EXPECT_EQ(to_number(std::string(300, '0') + "7.25").value, 7.25f);
}

TEST(ToNumber, InfinitiesOrderAroundFiniteValues) {
  EXPECT_GT(to_number("+INF").value, to_number("3.4e38").value);
  EXPECT_LT(to_number("-INF").value, to_number("-3.4e38").value);
}

// Plain decimal texts: the value must be the nearest double of the text
// (here from the C library's correctly rounded strtod) rounded to single
// precision, and the key fails exactly when that rounding overflows.
TEST(ToNumber, MatchesNearestDoubleThenSingle) {
  std::mt19937 rng(99);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    if (rng() % 3 == 0) text += (rng() % 2) ? '-' : '+';
    const int int_digits = static_cast<int>(rng() % 25);
    for (int i = 0; i < int_digits; ++i) text += static_cast<char>('0' + rng() % 10);
    const bool point = rng() % 2;
    int frac_digits = 0;
    if (point) {
      text += '.';
      frac_digits = static_cast<int>(rng() % 25);
      for (int i = 0; i < frac_digits; ++i) text += static_cast<char>('0' + rng() % 10);
    }
    if (int_digits + frac_digits == 0) text += '7';
    if (rng() % 3 == 0) {
      text += (rng() % 2) ? 'e' : 'E';
      if (rng() % 2) text += (rng() % 2) ? '-' : '+';
      text += std::to_string(rng() % 60);
    }
    const double d = std::strtod(text.c_str(), nullptr);
    const float f = static_cast<float>(d);
    const NumericKey k = to_number(text);
    ASSERT_EQ(k.failed, std::isinf(f)) << text;
    if (!k.failed) {
      ASSERT_EQ(k.value, f) << text;
    }
  }
}

}  // namespace
}  // namespace qorla
