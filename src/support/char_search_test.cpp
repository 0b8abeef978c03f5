#include "support/char_search.h"

#include <gtest/gtest.h>

#include <cstring>

namespace qorla {
namespace {

struct SearchCase {
  const char* bytes;
  int ch;
  int strchr_at;   // -1: null
  int strrchr_at;  // -1: null
  int index_at;    // -1: null
};

int offset(const char* base, const char* found) { return found == nullptr ? -1 : static_cast<int>(found - base); }

TEST(CharSearch, StepsOverDoubleByteCharacters) {
  const SearchCase cases[] = {
      {"\x95\x5C\x5C", '\\', 2, 2, 1},   // trail byte 0x5C, then a real backslash
      {"\x95\x5C", '\\', -1, -1, 1},     // only a trail byte
      {"\xB1\x5C", '\\', 1, 1, 1},       // half-width katakana is one byte
      {"\x82\x81\x81", 0x81, 2, 2, 1},   // lead value found only where it starts a character
      {"\x82\x81\x82\x60", 0x82, 0, 2, 0},
      {"abcabc", 'b', 1, 4, 1},
      {"abc", 0, -1, -1, -1},            // the terminator is never found
      {"", 'a', -1, -1, -1},
      {"a\x81", 0x81, 1, 1, 1},          // lone lead byte at the end: a single character
      {"\xE0\x40\x40", '@', 2, 2, 1},
      {"\xFC\x5C\\", '\\', 2, 2, 1},
      {"\xFD\x5C", '\\', 1, 1, 1},       // 0xFD is not a lead byte
  };
  for (const SearchCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "bytes of length " << std::strlen(c.bytes) << " ch " << c.ch);
    EXPECT_EQ(offset(c.bytes, Strchr(c.bytes, c.ch)), c.strchr_at);
    EXPECT_EQ(offset(c.bytes, Strrchr(c.bytes, c.ch)), c.strrchr_at);
    EXPECT_EQ(offset(c.bytes, index(c.bytes, c.ch)), c.index_at);
  }
}

TEST(CharSearch, AsciiMatchesTheStandardSearches) {
  const char* texts[] = {"hello world", "a-b-c", "%s: %d\n", "\\\\"};
  for (const char* t : texts) {
    for (int ch = 1; ch < 128; ++ch) {
      EXPECT_EQ(Strchr(t, ch), std::strchr(t, ch));
      EXPECT_EQ(Strrchr(t, ch), std::strrchr(t, ch));
      EXPECT_EQ(index(t, ch), std::strchr(t, ch));
    }
  }
}

TEST(CharSearch, OnlyTheLowByteOfTheCharacterCounts) {
  const char* t = "x\\y";
  EXPECT_EQ(Strchr(t, 0x15C), t + 1);
  EXPECT_EQ(Strrchr(t, 0x25C), t + 1);
  EXPECT_EQ(index(t, -164), t + 1);  // -164 has the low byte 0x5C
}

}  // namespace
}  // namespace qorla
