// 64-bit summaries of a line's place in the order, so that the sort can
// order lines by integers and look at each line's text only once per
// eight bytes of key that it has to tell apart.
//
// A level is a key (0 when lines are compared whole) and a byte offset in
// that key's text. For lines a and b that compare equal at every earlier
// level, level_prefix(a) < level_prefix(b) implies comp(a, b) < 0; what
// equal prefixes mean is told by tie_rule.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qorla {

struct Level {
  int key = 0;
  std::size_t offset = 0;
};

std::uint64_t level_prefix(const char* line, Level level);

enum class TieRule {
  kEqual,       // comp is 0 for the two lines
  kNextBytes,   // same key, eight bytes further on
  kNextKey,     // this key is equal; the next key decides
  kCompare,     // the prefix cannot tell: compare with comp_keys from this key
};

TieRule tie_rule(std::uint64_t prefix, Level level);

// The level after a tie under rule kNextBytes or kNextKey.
Level next_level(Level level, TieRule rule);

// The first level's prefix.
std::uint64_t sort_prefix(const char* line);

// For two lines with equal first-level prefixes: -1 when comp is 0 for
// them, else the index of the first key that comp_keys must still compare.
int tie_start(std::uint64_t prefix);

// True when the prefix is that of a numeric key that failed, the first key
// unless a level is given.
bool prefix_marks_failed_number(std::uint64_t prefix, Level level = Level{});

}  // namespace qorla
