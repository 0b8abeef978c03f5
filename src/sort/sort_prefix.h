// 64-bit summaries of a line's place in the order, so that the sort can
// order lines by integers and look at each line's text only where lines
// still tie.
//
// A level is a key (0 when lines are compared whole) and a byte offset in
// that key's text. For lines a and b that compare equal at every earlier
// level, level_prefix(a) < level_prefix(b) implies comp(a, b) < 0; what
// equal prefixes mean is told by tie_rule.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "order/compare.h"

namespace qorla {

struct Level {
  int key = 0;
  std::size_t offset = 0;
  // Under -i: the byte at offset is the second byte of a double-byte unit
  // begun before it. Lines that tie up to a level share this.
  bool mid_unit = false;
};

// The text a level reads its bytes from: the whole line, or the key's text
// (present is false when the line lacks the key's field).
struct LevelText {
  std::string_view text;
  bool present;
};
LevelText level_text(std::string_view line, int key);

// True when the levels of key read text (whole lines and text keys), false
// when they read one converted value.
bool reads_text(int key);

std::uint64_t level_prefix(std::string_view line, Level level);

// The same from the level's text, already located.
std::uint64_t prefix_of(LevelText text, Level level);

// Eight bytes of text from offset, big-endian, zero-padded: the prefix of a
// whole-line level outside -i, before any -v.
inline std::uint64_t byte_prefix(std::string_view text, std::size_t offset) {
  std::uint64_t v = 0;
  if (offset + 8 <= text.size()) {
    __builtin_memcpy(&v, text.data() + offset, 8);
  } else if (offset < text.size()) {
    __builtin_memcpy(&v, text.data() + offset, text.size() - offset);
  }
  return __builtin_bswap64(v);
}

enum class TieRule {
  kEqual,       // comp is 0 for the two lines
  kNextBytes,   // same key, eight bytes further on
  kNextKey,     // this key is equal; the next key decides
  kCompare,     // the prefix cannot tell: compare with comp_keys from this key
};

TieRule tie_rule(std::uint64_t prefix, Level level);

// The level after a tie under rule kNextBytes or kNextKey; text is the
// level's text of one of the tied lines.
Level next_level(Level level, TieRule rule, std::string_view text);

// The level n bytes further on in the same key, for lines whose texts all
// agree with text over those bytes.
Level skip_shared(Level level, std::string_view text, std::size_t n);

// How many positions from level.offset on two texts of a text level agree
// in the order (bytes, or collation codes under -i), a position past the
// end of a text reading as its end; kTextsEqual when they agree to the end.
constexpr std::size_t kTextsEqual = SIZE_MAX;
std::size_t common_length(std::string_view a, std::string_view b, Level level);

// comp of two lines that tie up to level, worked out from the level on:
// negative, zero or positive. trace as for comp_keys.
int compare_from(std::string_view a, std::string_view b, Level level, CompareTrace* trace);

// True when a level's texts decide by their bytes from its offset on: text
// levels outside -i (the collation's units would need the level's phase).
bool compares_bytes_from(Level level);

// compare_from for such a level, with the level's texts of the two lines
// already located.
int compare_level_texts(std::string_view a, LevelText ta, std::string_view b, LevelText tb, Level level,
                        CompareTrace* trace);

// The level after a key whose texts all compare equal.
TieRule after_key(int key);

// The first level's prefix.
std::uint64_t sort_prefix(std::string_view line);

// For two lines with equal first-level prefixes: -1 when comp is 0 for
// them, else the index of the first key that comp_keys must still compare.
int tie_start(std::uint64_t prefix);

// True when the prefix is that of a numeric key that failed, the first key
// unless a level is given.
bool prefix_marks_failed_number(std::uint64_t prefix, Level level = Level{});

}  // namespace qorla
