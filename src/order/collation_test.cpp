#include "order/collation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "order/test_support.h"

namespace qorla {
namespace {

using test_support::printable;

struct CollateCase {
  const char* a;
  const char* b;
  int n;
  int expected;
};

// Each case is checked both ways round: the order is antisymmetric.
void check_cases(const std::vector<CollateCase>& cases) {
  for (const CollateCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "a=\"" << printable(c.a) << "\" b=\"" << printable(c.b) << "\" n=" << c.n);
    EXPECT_EQ(StrnCmp(c.a, c.b, c.n), c.expected);
    EXPECT_EQ(StrnCmp(c.b, c.a, c.n), -c.expected);
    if (c.n < 0) {
      EXPECT_EQ(StrCmp(c.a, c.b), c.expected);
      EXPECT_EQ(collate(c.a, c.b), c.expected);
    }
  }
}

TEST(Collation, AsciiFoldingAndBackslash) {
  check_cases({
      {"abc", "ABC", -1, 0},
      {"aBc", "AbC", -1, 0},
      {"Zeta", "alpha", -1, 1},
      {"zeta", "ALPHA", -1, 1},
      // the underscore (0x5F) sorts before every letter, whatever its case
      {"_", "b", -1, -1},
      {"_", "B", -1, -1},
      {"_", "A", -1, -1},
      {"[", "a", -1, -1},
      {"^", "a", -1, -1},
      {"`", "A", -1, -1},
      {"@", "a", -1, -1},
      // 0x7B to 0x7F after the letters
      {"{", "z", -1, 1},
      {"\x7F", "Z", -1, 1},
      // the backslash before everything else, control characters included
      {"\\", "\t", -1, -1},
      {"\\", "\n", -1, -1},
      {"\\", "\x01", -1, -1},
      {"\\", " ", -1, -1},
      {"\\", "_", -1, -1},
      {"\\", "[", -1, -1},
      {"a\\x", "a\nx", -1, -1},
      {"line\\", "line\n", -1, -1},
      // control characters between the backslash and the blank
      {"\x01", " ", -1, -1},
      {"\t", " ", -1, -1},
      {"\x1F", " ", -1, -1},
      {"\n", "\t", -1, 1},
      {" ", "!", -1, -1},
      {"9", "a", -1, -1},
  });
}

TEST(Collation, KindsOfCharacter) {
  check_cases({
      // ASCII, then half-width katakana, then double-byte units
      {"z", "\xB1", -1, -1},
      {"\x7F", "\xA1", -1, -1},
      {"\\", "\xA1", -1, -1},
      {"~", "\x81\x40", -1, -1},
      // katakana before double-byte, although 0x82 is the smaller byte value
      {"\xB1", "\x82\xA0", -1, -1},
      {"\xDF", "\x80\x40", -1, -1},
      {"\xA1", "\xA0\x40", -1, -1},
      {"\xDF", "\xE0\x40", -1, -1},
      {"\xDF", "\xFF\x40", -1, -1},
      // katakana by byte value
      {"\xA1", "\xDF", -1, -1},
      {"\xB1\xB2", "\xB1\xB3", -1, -1},
      // double-byte units by first byte, then second byte, both unsigned
      {"\x80\xFF", "\x81\x40", -1, -1},
      {"\xA0\x40", "\xE0\x40", -1, -1},
      {"\xE0\x40", "\xFF\x40", -1, -1},
      {"\x82\x60", "\x82\x81", -1, -1},
      {"\x82\x60", "\x82\x60", -1, 0},
      // second bytes are not folded: full-width A and a differ, and an ASCII
      // byte in the second place is taken as it is
      {"\x81" "A", "\x81" "a", -1, -1},
      {"\x81\\", "\x81\t", -1, 1},
      {"\x82\x60x", "\x82\x60X", -1, 0},
      // the byte after a first byte is its second byte whatever it is, so
      // it is never read as a unit of its own
      {"\x82\xB1", "\x82\x41", -1, 1},
      {"\x82\x82\x41", "\x82\x82\x42", -1, -1},
  });
}

TEST(Collation, EndsOfStrings) {
  check_cases({
      {"", "", -1, 0},
      {"", "a", -1, -1},
      {"", "\\", -1, -1},
      {"", "\x01", -1, -1},
      {"", "\xB1", -1, -1},
      {"", "\x82", -1, -1},
      {"ab", "abc", -1, -1},
      {"AB", "abc", -1, -1},
      {"ab", "ab\\", -1, -1},
      // a lone first byte at the end has the terminator as its second byte
      {"x\x82", "x\x82\x60", -1, -1},
      {"x\x82", "x\x82\x01", -1, -1},
      {"\x82", "\x82\x40", -1, -1},
      {"x\x82", "x\x82", -1, 0},
      {"x\x82", "X\x82", -1, 0},
      {"\xFF", "\xFF", -1, 0},
      {"x\x82", "x\x83", -1, -1},
      {"x\x82", "x\xB1", -1, 1},
      {"x\x82", "xa", -1, 1},
  });
}

TEST(Collation, CountRule) {
  check_cases({
      // count 0: equal at once
      {"a", "b", 0, 0},
      {"", "b", 0, 0},
      {"\x82\x60", "\x82\x81", 0, 0},
      // strings that differ only from the fourth byte on
      {"abcX", "abcY", 3, 0},
      {"abcX", "ABCY", 3, 0},
      {"abcX", "abcY", 4, -1},
      {"abc", "abcdef", 3, 0},
      {"abc", "abcdef", 4, -1},
      {"ab", "abc", 2, 0},
      {"ab", "abc", 100, -1},
      {"abX", "abY", 1000, -1},
      // a double-byte unit begun with one byte of count left is compared whole
      {"\x82\x60", "\x82\x81", 1, -1},
      {"a\x82\x60", "a\x82\x61", 2, -1},
      {"\x82\x60x", "\x82\x60y", 1, 0},
      {"\x82\x60x", "\x82\x60y", 2, 0},
      {"\x82\x60x", "\x82\x60y", 3, -1},
      {"\x82", "\x82\x40", 1, -1},
      // katakana count one byte each
      {"\xB1\xB2", "\xB1\xB3", 1, 0},
      {"\xB1\xB2", "\xB1\xB3", 2, -1},
      // a difference inside the count is found
      {"aXc", "aYc", 2, -1},
      {"Xbc", "Ybc", 1, -1},
  });
}

TEST(Collation, NeverReadsPastATerminator) {
  // Bytes after the terminators differ; they must not matter.
  const char a[] = "x\x82\0\x60";
  const char b[] = "x\x82\0\x61";
  EXPECT_EQ(StrCmp(a, b), 0);
  EXPECT_EQ(StrnCmp(a, b, 3), 0);
  EXPECT_EQ(StrnCmp(a, b, 100), 0);
  const char c[] = "ab\0z";
  const char d[] = "ab\0y";
  EXPECT_EQ(StrCmp(c, d), 0);
  EXPECT_EQ(StrnCmp(c, d, 4), 0);
}

TEST(Collation, SpansEndAsIfTerminated) {
  // The byte past a span reads as a terminator, even where the buffer goes on.
  const std::string_view buffer_a = "abX\x82\x60";
  const std::string_view buffer_b = "ABY\x82\x61";
  EXPECT_EQ(collate(buffer_a.substr(0, 2), buffer_b.substr(0, 2)), 0);
  EXPECT_EQ(collate(buffer_a.substr(0, 3), buffer_b.substr(0, 3)), -1);
  EXPECT_EQ(collate(buffer_a.substr(3, 1), buffer_b.substr(3, 1)), 0);
  EXPECT_EQ(collate(buffer_a.substr(3, 1), buffer_b.substr(3, 2)), -1);
  EXPECT_EQ(collate(buffer_a.substr(3, 2), buffer_b.substr(3, 2)), -1);
  EXPECT_EQ(collate(buffer_a.substr(0, 0), buffer_b.substr(0, 0)), 0);
  EXPECT_EQ(collate(buffer_a.substr(0, 0), buffer_b.substr(0, 1)), -1);
}

// The order described as a whole: a string is a list of units; ASCII units
// (backslash first, letters folded) before katakana before double-byte
// units, which compare by first then second byte; a list that is an initial
// part of another sorts first. Units that begin at byte n or later are left
// out when n >= 0.
struct Unit {
  int kind;    // 0 ASCII, 1 katakana, 2 double-byte
  int first;   // ordering value of the first byte
  int second;  // second byte of a double-byte unit
  bool operator==(const Unit&) const = default;
  auto operator<=>(const Unit&) const = default;
};

std::vector<Unit> units(std::string_view s, int n) {
  std::vector<Unit> out;
  for (std::size_t i = 0; i < s.size() && (n < 0 || i < static_cast<std::size_t>(n));) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      int v = (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
      if (v == '\\') v = -1;
      out.push_back({0, v, 0});
      ++i;
    } else if (c >= 0xA1 && c <= 0xDF) {
      out.push_back({1, c, 0});
      ++i;
    } else {
      const int second = i + 1 < s.size() ? static_cast<unsigned char>(s[i + 1]) : 0;
      out.push_back({2, c, second});
      i += 2;
    }
  }
  return out;
}

int model_compare(std::string_view a, std::string_view b, int n) {
  if (n == 0) return 0;
  const auto ua = units(a, n), ub = units(b, n);
  if (ua < ub) return -1;
  if (ub < ua) return 1;
  return 0;
}

// Strings from a small biased alphabet, so that long common prefixes,
// equal-under-folding pairs and lone first bytes at the end are frequent.
std::vector<std::string> random_strings(std::mt19937& rng, int count) {
  static const unsigned char ascii[] = {'a', 'A', 'b', 'B', 'z', 'Z', '\\', '\t', '\n', '_', '[', ' ', '~', 0x7F, '@'};
  static const unsigned char kana[] = {0xA1, 0xB1, 0xB2, 0xDF};
  static const unsigned char lead[] = {0x80, 0x81, 0x82, 0x9F, 0xA0, 0xE0, 0xFC, 0xFD, 0xFF};
  static const unsigned char trail[] = {0x40, 0x41, 0x61, 0x5C, 0x60, 0x7E, 0x80, 0x81, 0x9F, 0xA0, 0xB1, 0xFC};
  std::vector<std::string> out;
  for (int k = 0; k < count; ++k) {
    std::string s;
    const int units_wanted = static_cast<int>(rng() % 6);
    for (int u = 0; u < units_wanted; ++u) {
      switch (rng() % 4) {
        case 0:
        case 1: s += static_cast<char>(ascii[rng() % sizeof ascii]); break;
        case 2: s += static_cast<char>(kana[rng() % sizeof kana]); break;
        default:
          s += static_cast<char>(lead[rng() % sizeof lead]);
          s += static_cast<char>(trail[rng() % sizeof trail]);
      }
    }
    if (rng() % 5 == 0) s += static_cast<char>(lead[rng() % sizeof lead]);  // lone first byte
    out.push_back(s);
  }
  return out;
}

TEST(Collation, AgreesWithTheUnitOrder) {
  std::mt19937 rng(20240315);
  const auto strings = random_strings(rng, 300);
  const int counts[] = {-1, 0, 1, 2, 3, 5, 100};
  for (const std::string& a : strings) {
    for (const std::string& b : strings) {
      for (int n : counts) {
        ASSERT_EQ(StrnCmp(a.c_str(), b.c_str(), n), model_compare(a, b, n))
            << "a=\"" << printable(a) << "\" b=\"" << printable(b) << "\" n=" << n;
      }
      ASSERT_EQ(StrCmp(a.c_str(), b.c_str()), StrnCmp(a.c_str(), b.c_str(), -1));
      ASSERT_EQ(collate(a, b), StrCmp(a.c_str(), b.c_str()));
    }
  }
}

TEST(Collation, IsATotalOrder) {
  std::mt19937 rng(777);
  const auto strings = random_strings(rng, 160);
  const std::size_t n = strings.size();
  std::vector<int> r(n * n);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      r[i * n + j] = StrCmp(strings[i].c_str(), strings[j].c_str());
      ASSERT_TRUE(r[i * n + j] >= -1 && r[i * n + j] <= 1);
    }
  }
  for (std::size_t i = 0; i < n; ++i) {
    ASSERT_EQ(r[i * n + i], 0);
    for (std::size_t j = 0; j < n; ++j) {
      ASSERT_EQ(r[i * n + j], -r[j * n + i]) << printable(strings[i]) << " / " << printable(strings[j]);
      for (std::size_t k = 0; k < n; ++k) {
        const int ij = r[i * n + j], jk = r[j * n + k], ik = r[i * n + k];
        if (ij <= 0 && jk <= 0) {
          ASSERT_LE(ik, 0) << printable(strings[i]) << " / " << printable(strings[j]) << " / "
                           << printable(strings[k]);
          if (ij < 0 || jk < 0) {
            ASSERT_LT(ik, 0);
          }
        }
      }
    }
  }
}

// The code sequence of a string: the code of each unit's first byte, the
// raw second byte after a double-byte first byte, 0 at the end.
std::vector<unsigned char> code_sequence(std::string_view s) {
  std::vector<unsigned char> out;
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    out.push_back(collation_code(c));
    ++i;
    const bool double_byte = c >= 0x80 && !(c >= 0xA1 && c <= 0xDF);
    if (double_byte) {
      out.push_back(i < s.size() ? static_cast<unsigned char>(s[i]) : 0);
      ++i;
    }
  }
  out.push_back(0);
  return out;
}

TEST(Collation, CodeSequencesOrderLikeStrCmp) {
  std::mt19937 rng(4242);
  auto strings = random_strings(rng, 300);
  // every single byte, alone and before a common tail
  for (int c = 1; c < 256; ++c) {
    strings.push_back(std::string(1, static_cast<char>(c)));
    strings.push_back(std::string(1, static_cast<char>(c)) + "\x40z");
  }
  for (const std::string& a : strings) {
    const auto ca = code_sequence(a);
    for (const std::string& b : strings) {
      const auto cb = code_sequence(b);
      const int by_codes = ca < cb ? -1 : (cb < ca ? 1 : 0);
      ASSERT_EQ(by_codes, StrCmp(a.c_str(), b.c_str())) << "a=\"" << printable(a) << "\" b=\"" << printable(b) << "\"";
    }
  }
}

TEST(Collation, CodeValues) {
  EXPECT_EQ(collation_code(0), 0);
  EXPECT_EQ(collation_code('A'), collation_code('a'));
  EXPECT_EQ(collation_code('Z'), collation_code('z'));
  // the backslash has the smallest code of any byte but the terminator
  for (int c = 1; c < 256; ++c) {
    if (c != '\\') {
      EXPECT_LT(collation_code('\\'), collation_code(static_cast<unsigned char>(c))) << c;
    }
  }
  // every byte other than a capital has its own code
  std::vector<int> owner(256, -1);
  for (int c = 1; c < 256; ++c) {
    if (c >= 'A' && c <= 'Z') continue;
    const unsigned char code = collation_code(static_cast<unsigned char>(c));
    EXPECT_NE(code, 0) << c;
    EXPECT_EQ(owner[code], -1) << "bytes " << owner[code] << " and " << c << " share a code";
    owner[code] = c;
  }
}

}  // namespace
}  // namespace qorla
