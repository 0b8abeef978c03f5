// Key tables and readable byte strings for the unit tests of comparing and
// sorting. Included only by *_test.cpp files.
#pragma once

#include <cstdint>
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

}  // namespace qorla::test_support
