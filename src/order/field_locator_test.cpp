#include "order/field_locator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "order/settings.h"

namespace qorla {
namespace {

constexpr int kNull = -1;

struct LocateCase {
  const char* line;
  unsigned char separator;
  int no, pos, len;
  int start;  // offset of the key start, kNull for no field
  int end;    // offset of the key end
};

void check(const LocateCase& c) {
  reset_settings();
  field_separator = c.separator;
  SCOPED_TRACE(testing::Message() << "line \"" << c.line << "\" sep " << int{c.separator} << " no " << c.no
                                  << " pos " << c.pos << " len " << c.len);
  const std::string before = c.line;
  const char* end = nullptr;
  const char* start = str_search(c.line, c.no, c.pos, c.len, &end);
  if (c.start == kNull) {
    EXPECT_EQ(start, nullptr);
    EXPECT_EQ(end, nullptr) << "the key end is written only for a found key";
  } else {
    ASSERT_NE(start, nullptr);
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(start - c.line, c.start);
    EXPECT_EQ(end - c.line, c.end);
  }
  EXPECT_EQ(before, c.line);
  // The search over a line of known length finds the same key.
  const KeySpan k = locate_key(c.line, c.no, c.pos, c.len);
  EXPECT_EQ(k.start, start);
  if (start != nullptr) {
    EXPECT_EQ(k.end, end);
  }
}

TEST(FieldLocator, WorkedExamples) {
  const LocateCase cases[] = {
      // alpha beta gamma: the key end is the blank before gamma
      {"alpha beta gamma\n", 0, 2, 0, 4096, 6, 10},
      // the key end is the line feed, not part of the key
      {"alpha beta gamma\n", 0, 3, 0, 4096, 11, 16},
      {"alpha beta gamma\n", 0, 4, 0, 4096, kNull, 0},
      {"  alpha\n", 0, 1, 0, 4096, 2, 7},
      // trailing blanks start no field
      {"a \n", 0, 2, 0, 4096, kNull, 0},
      {"\n", 0, 1, 0, 4096, kNull, 0},
      {"\n", 0, 3, 0, 4096, kNull, 0},
      {"  \t\n", 0, 1, 0, 4096, kNull, 0},
      {"  \t\n", 0, 2, 0, 4096, kNull, 0},
      // "et"; the key end is the a
      {"beta\n", 0, 1, 1, 2, 1, 3},
      // empty key: start and end are the line feed
      {"beta\n", 0, 1, 9, 4096, 4, 4},
      {"x y,z\n", ',', 1, 0, 4096, 0, 3},
      {"a,,b\n", ',', 2, 0, 4096, 3, 4},
      {"a\t\tb", '\t', 2, 0, 4096, 3, 4},
      // a joined line: the second field is v and the backslash
      {"k1 v\\\nk2 w\n", 0, 2, 0, 4096, 3, 5},
      {"k1 v\\\nk2 w\n", 0, 3, 0, 4096, kNull, 0},
  };
  for (const LocateCase& c : cases) check(c);
}

TEST(FieldLocator, LineEndsAndEmptyLines) {
  const LocateCase cases[] = {
      // no line feed: the last field ends at the terminator
      {"alpha beta", 0, 2, 0, 4096, 6, 10},
      {"alpha beta", 0, 3, 0, 4096, kNull, 0},
      {"", 0, 1, 0, 4096, kNull, 0},
      {"", 0, 0, 0, 4096, kNull, 0},
      {"   ", 0, 1, 0, 4096, kNull, 0},
      {",,,\n", ',', 1, 0, 4096, kNull, 0},
      {",,,", ',', 2, 0, 4096, kNull, 0},
      // a field number beyond the last field, with or without trailing separators
      {"a b \t \n", 0, 3, 0, 4096, kNull, 0},
      {"a,b,,\n", ',', 3, 0, 4096, kNull, 0},
      {"a,b", ',', 3, 0, 4096, kNull, 0},
      // field numbers of 1 or less select the first field
      {"  one two\n", 0, 0, 0, 4096, 2, 5},
      {"  one two\n", 0, -7, 0, 4096, 2, 5},
      // nothing after the first line feed belongs to a field
      {"a\nb c\n", 0, 2, 0, 4096, kNull, 0},
      {"\nb c\n", 0, 1, 0, 4096, kNull, 0},
      {"a b\\\nc d\n", 0, 2, 0, 4096, 2, 4},
      {"a b\\\nc d\n", 0, 2, 0, 2, 2, 4},
      {"a,b\\\nc,d\n", ',', 3, 0, 4096, kNull, 0},
  };
  for (const LocateCase& c : cases) check(c);
}

TEST(FieldLocator, PositionAndLength) {
  const LocateCase cases[] = {
      // a start position at or beyond the field's end gives an empty key
      {"abc def\n", 0, 1, 3, 4096, 3, 3},
      {"abc def\n", 0, 1, 100, 4096, 3, 3},
      {"abc def\n", 0, 2, 3, 4096, 7, 7},
      {"abc def", 0, 2, 5, 4096, 7, 7},
      {"abc,def\n", ',', 1, 4, 4096, 3, 3},
      // a length that ends the key inside the field
      {"abcdef\n", 0, 1, 0, 1, 0, 1},
      {"abcdef\n", 0, 1, 2, 3, 2, 5},
      {"abcdef\n", 0, 1, 2, 4, 2, 6},
      {"abcdef\n", 0, 1, 2, 5, 2, 6},
      {"xx abcdef yy\n", 0, 2, 1, 2, 4, 6},
      // a non-positive position means 0, a non-positive length gives an empty key
      {"abc def\n", 0, 2, -3, 4096, 4, 7},
      {"abc def\n", 0, 2, 0, 0, 4, 4},
      {"abc def\n", 0, 2, 1, -1, 5, 5},
      // the double-byte blank 0x81 0x40 is no separator: its two bytes are in the field
      {"a\x81\x40" "b c\n", 0, 1, 0, 4096, 0, 4},
      {"a\x81\x40" "b c\n", 0, 2, 0, 4096, 5, 6},
      {"\x81\x40\n", 0, 1, 0, 4096, 0, 2},
      // position and length count bytes, so they may split a double-byte character
      {"\x82\xA0\x82\xA2\n", 0, 1, 1, 2, 1, 3},
  };
  for (const LocateCase& c : cases) check(c);
}

TEST(FieldLocator, SeparatorCharacterRule) {
  const LocateCase cases[] = {
      // blanks and tabs are field bytes under a separator character
      {" a b ,\tc\t\n", ',', 1, 0, 4096, 0, 5},
      {" a b ,\tc\t\n", ',', 2, 0, 4096, 6, 9},
      {",,a,,,b,\n", ',', 1, 0, 4096, 2, 3},
      {",,a,,,b,\n", ',', 2, 0, 4096, 6, 7},
      {",,a,,,b,\n", ',', 3, 0, 4096, kNull, 0},
      // a tab separator keeps blanks inside fields
      {"a b\t\tc d\n", '\t', 1, 0, 4096, 0, 3},
      {"a b\t\tc d\n", '\t', 2, 0, 4096, 5, 8},
      // under blanks and tabs a comma is an ordinary byte
      {"a,b c\n", 0, 1, 0, 4096, 0, 3},
      // a trail byte equal to the separator ends the field inside the character
      {"x\x95\\y\\z\n", '\\', 1, 0, 4096, 0, 2},
      {"x\x95\\y\\z\n", '\\', 2, 0, 4096, 3, 4},
      {"x\x95\\y\\z\n", '\\', 3, 0, 4096, 5, 6},
      {"\x82\x40\x82\x41\n", 0x40, 1, 0, 4096, 0, 1},
      {"\x82\x40\x82\x41\n", 0x40, 2, 0, 4096, 2, 4},
      // a separator that is a byte of 0x80 or above
      {"ab\xA0\xA0" "cd\n", 0xA0, 2, 0, 4096, 4, 6},
      // a line feed as the separator character still ends the line: what
      // follows the first line feed is in no field
      {"\nb c\n", '\n', 1, 0, 4096, kNull, 0},
      {"\n\nb", '\n', 1, 0, 4096, kNull, 0},
      {"a\nb\n", '\n', 1, 0, 4096, 0, 1},
      {"a\nb\n", '\n', 2, 0, 4096, kNull, 0},
  };
  for (const LocateCase& c : cases) check(c);
}

// An independent model: split the text before the first line feed into
// fields, then cut the key out of the wanted field.
TEST(FieldLocator, AgreesWithASplitModel) {
  const char alphabet[] = {'a', 'b', ' ', '\t', ',', '\n', '\x81', '\x40', '\\'};
  unsigned state = 12345;
  auto next = [&state] {
    state = state * 1103515245u + 12345u;
    return state >> 16;
  };
  for (int round = 0; round < 4000; ++round) {
    std::string line;
    // Now and then lines of several 64-byte windows.
    const int n = static_cast<int>(round % 4 == 0 ? next() % 200 : next() % 12);
    for (int i = 0; i < n; ++i) line += alphabet[next() % sizeof alphabet];
    const unsigned char separator = (next() % 2) ? 0 : static_cast<unsigned char>(",\t\\@\n"[next() % 5]);
    const int no = static_cast<int>(next() % 5) - 1;
    const int pos = static_cast<int>(next() % 5) - 1;
    const int len = static_cast<int>(next() % 5) - 1;

    auto sep = [separator](char ch) {
      return separator == 0 ? (ch == ' ' || ch == '\t') : static_cast<unsigned char>(ch) == separator;
    };
    const std::size_t line_end = std::min(line.find('\n'), line.size());
    std::vector<std::pair<std::size_t, std::size_t>> fields;  // [begin, end)
    for (std::size_t i = 0; i < line_end;) {
      if (sep(line[i])) {
        ++i;
        continue;
      }
      const std::size_t b = i;
      while (i < line_end && !sep(line[i])) ++i;
      fields.emplace_back(b, i);
    }
    const std::size_t wanted = no <= 1 ? 0 : static_cast<std::size_t>(no - 1);

    reset_settings();
    field_separator = separator;
    const char* end = nullptr;
    const char* start = str_search(line.c_str(), no, pos, len, &end);
    SCOPED_TRACE(testing::Message() << "round " << round);
    const KeySpan k = locate_key(line, no, pos, len);
    EXPECT_EQ(k.start, start);
    if (wanted >= fields.size()) {
      EXPECT_EQ(start, nullptr);
      continue;
    }
    EXPECT_EQ(k.end, end);
    const auto [fb, fe] = fields[wanted];
    const std::size_t ks = std::min(fe, fb + static_cast<std::size_t>(std::max(pos, 0)));
    const std::size_t ke = std::min(fe, ks + static_cast<std::size_t>(std::max(len, 0)));
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(static_cast<std::size_t>(start - line.c_str()), ks);
    EXPECT_EQ(static_cast<std::size_t>(end - line.c_str()), ke);
  }
}

TEST(FieldLocator, IsSeparatorFollowsTheSetting) {
  reset_settings();
  EXPECT_TRUE(is_separator(' '));
  EXPECT_TRUE(is_separator('\t'));
  EXPECT_FALSE(is_separator(','));
  EXPECT_FALSE(is_separator('\n'));
  EXPECT_FALSE(is_separator(0x81));
  EXPECT_FALSE(is_separator(0x40));
  field_separator = ',';
  EXPECT_TRUE(is_separator(','));
  EXPECT_FALSE(is_separator(' '));
  EXPECT_FALSE(is_separator('\t'));
  field_separator = '\t';
  EXPECT_TRUE(is_separator('\t'));
  EXPECT_FALSE(is_separator(' '));
  reset_settings();
}

}  // namespace
}  // namespace qorla
