// Key tables and readable byte strings for the unit tests of comparing and
// sorting. Included only by *_test.cpp files.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "order/settings.h"

namespace qorla::test_support {

// One key of a test's key table.
struct Key {
  int no = 1;
  int type = kText;
  int pos = 0;
  int len = kWholeField;
  int rev = 0;
};

// The settings a test sorts or compares under: its keys, -t, -i and -v.
struct Order {
  std::vector<Key> keys = {};
  unsigned char separator = 0;
  int ignore_case = 0;
  int rev_flag = 0;  // -v: with keys it only stays set, as after parsing
};

// Makes the order the one in force, as parsing the command line would.
inline void apply(const Order& s) {
  reset_settings();
  for (const Key& k : s.keys) {
    sort[sort_cnt++] = KeySpec{static_cast<std::int16_t>(k.no), static_cast<std::int16_t>(k.type),
                               static_cast<std::int16_t>(k.pos), static_cast<std::int16_t>(k.len),
                               static_cast<std::int16_t>(k.rev)};
  }
  field_separator = s.separator;
  ignore_case = s.ignore_case;
  rev_flag = s.rev_flag;
}

// The bytes of s for a failure message: printable ASCII as it is, every
// other byte and the backslash as \xHH.
inline std::string printable(std::string_view s) {
  std::string out;
  const char* hex = "0123456789ABCDEF";
  for (unsigned char c : s) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

// Random lines and key tables, for the property tests of comparing and
// sorting.

inline const char* const kTokens[] = {
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

inline std::string random_line(std::mt19937& rng) {
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

inline Order random_setup(std::mt19937& rng) {
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

inline std::string describe(const Order& s) {
  std::string out = "sep " + std::to_string(s.separator) + " -i " + std::to_string(s.ignore_case) + " -v " +
                    std::to_string(s.rev_flag) + " keys";
  for (const Key& k : s.keys) {
    out += " {no " + std::to_string(k.no) + " type " + std::to_string(k.type) + " pos " + std::to_string(k.pos) +
           " len " + std::to_string(k.len) + " rev " + std::to_string(k.rev) + "}";
  }
  return out;
}

inline std::vector<std::string> random_lines(std::mt19937& rng, int count) {
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

}  // namespace qorla::test_support
