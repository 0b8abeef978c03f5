#include "sort/sort_prefix.h"

#include <bit>
#include <cstring>

#include "order/collation.h"
#include "order/field_locator.h"
#include "order/key_values.h"
#include "order/settings.h"

namespace qorla {

namespace {

constexpr std::uint64_t kPresent = std::uint64_t{1} << 40;
constexpr std::uint64_t kFailed = std::uint64_t{1} << 32;

inline unsigned char byte_at(std::string_view text, std::size_t i) {
  return i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
}

inline bool starts_double_byte_unit(unsigned char b) { return collation_code(b) >= 165; }

// The collation's code at position i: a unit's first byte gives its
// collation_code, a double-byte unit's second byte stays as it is, and the
// end reads as 0. second tells which of the two the position is; the
// return value says the same of the next position.
inline unsigned char code_at(std::string_view text, std::size_t i, bool second, bool* next_second) {
  const unsigned char b = byte_at(text, i);
  *next_second = !second && b != 0 && starts_double_byte_unit(b);
  return second ? b : collation_code(b);
}

// Eight codes from the level's offset: they order texts as StrCmp does.
std::uint64_t collation_prefix(std::string_view text, Level level) {
  std::uint64_t v = 0;
  bool second = level.mid_unit;
  for (std::size_t i = level.offset; i < level.offset + 8; ++i) v = (v << 8) | code_at(text, i, second, &second);
  return v;
}

std::uint64_t text_prefix(std::string_view text, Level level) {
  return ignore_case ? collation_prefix(text, level) : byte_prefix(text, level.offset);
}

std::uint32_t ordered_bits(std::int32_t v) { return static_cast<std::uint32_t>(v) ^ 0x80000000u; }

std::uint32_t ordered_bits(float f) {
  const auto bits = std::bit_cast<std::uint32_t>(f);
  return (bits & 0x80000000u) ? ~bits : bits | 0x80000000u;
}

std::uint64_t typed_prefix(std::int16_t type, std::string_view key) {
  switch (type) {
    case kHex: return kPresent | ordered_bits(tohex(key));
    case kTime: return kPresent | ordered_bits(totime(key));
    case kDate: return kPresent | ordered_bits(todate(key, 50));
    default: {
      const NumericKey n = to_number(key);
      return n.failed ? kPresent | kFailed : kPresent | ordered_bits(n.value);
    }
  }
}

bool is_typed(std::int16_t type) { return type >= kHex && type <= kDate; }

bool reversed(int key) { return sort_cnt == 0 ? rev_flag != 0 : sort[key].rev != 0; }

}  // namespace

LevelText level_text(std::string_view line, int key) {
  if (sort_cnt == 0) return {line, true};
  const KeySpec& key_spec = sort[key];
  const KeySpan k = locate_key(line, key_spec.no, key_spec.pos, key_spec.len);
  if (k.start == nullptr) return {{}, false};
  return {std::string_view(k.start, static_cast<std::size_t>(k.end - k.start)), true};
}

bool reads_text(int key) { return sort_cnt == 0 || !is_typed(sort[key].type); }

std::uint64_t level_prefix(std::string_view line, Level level) {
  return prefix_of(level_text(line, level.key), level);
}

std::uint64_t prefix_of(LevelText t, Level level) {
  std::uint64_t v = 0;  // a missing field sorts before every present one
  if (t.present) v = reads_text(level.key) ? text_prefix(t.text, level) : typed_prefix(sort[level.key].type, t.text);
  return reversed(level.key) ? ~v : v;
}

TieRule after_key(int key) { return key + 1 < sort_cnt ? TieRule::kNextKey : TieRule::kEqual; }

TieRule tie_rule(std::uint64_t prefix, Level level) {
  const std::uint64_t v = reversed(level.key) ? ~prefix : prefix;
  // A text prefix that ends in 0 holds the rest of its text.
  const bool text_ends = (v & 0xFF) == 0;
  if (sort_cnt == 0) return text_ends ? TieRule::kEqual : TieRule::kNextBytes;
  if (is_typed(sort[level.key].type)) {
    // Both fields missing: comp stops there with 0.
    return v == 0 ? TieRule::kEqual : after_key(level.key);
  }
  // At the start of a text key, 0 is a missing field or an empty key.
  if (v == 0 && level.offset == 0) return TieRule::kCompare;
  return text_ends ? after_key(level.key) : TieRule::kNextBytes;
}

Level skip_shared(Level level, std::string_view text, std::size_t n) {
  if (ignore_case && reads_text(level.key)) {
    bool second = level.mid_unit;
    for (std::size_t i = level.offset; i < level.offset + n; ++i) code_at(text, i, second, &second);
    level.mid_unit = second;
  }
  level.offset += n;
  return level;
}

Level next_level(Level level, TieRule rule, std::string_view text) {
  if (rule == TieRule::kNextBytes) return skip_shared(level, text, 8);
  return Level{level.key + 1, 0, false};
}

std::size_t common_length(std::string_view a, std::string_view b, Level level) {
  const std::size_t start = level.offset;
  if (!ignore_case) {
    std::size_t i = start;
    const std::size_t shorter = a.size() < b.size() ? a.size() : b.size();
    // Eight bytes at a time while both texts have them.
    while (i + 8 <= shorter) {
      std::uint64_t x, y;
      std::memcpy(&x, a.data() + i, 8);
      std::memcpy(&y, b.data() + i, 8);
      if (x != y) break;
      i += 8;
    }
    while (i < shorter && a[i] == b[i]) ++i;
    if (i == shorter && a.size() == b.size()) return kTextsEqual;
    return i > start ? i - start : 0;
  }
  bool second = level.mid_unit, next_second = false;
  for (std::size_t i = start;; ++i) {
    const unsigned char x = code_at(a, i, second, &next_second);
    if (x != code_at(b, i, second, &next_second)) return i - start;
    if (x == 0) return kTextsEqual;
    second = next_second;
  }
}

bool compares_bytes_from(Level level) { return !ignore_case && reads_text(level.key); }

int compare_level_texts(std::string_view a, LevelText ta, std::string_view b, LevelText tb, Level level,
                        CompareTrace* trace) {
  const bool rev = reversed(level.key);
  // A line that lacks the field sorts first, and two that lack it are
  // equal outright.
  if (!ta.present || !tb.present) return ta.present == tb.present ? 0 : (ta.present != rev ? 1 : -1);
  if (ta.text.size() < level.offset || tb.text.size() < level.offset) return comp_keys(a, b, level.key, trace);
  const int r = compare_bytes(ta.text.substr(level.offset), tb.text.substr(level.offset));
  if (r != 0) return rev ? -r : r;
  return after_key(level.key) == TieRule::kEqual ? 0 : comp_keys(a, b, level.key + 1, trace);
}

int compare_from(std::string_view a, std::string_view b, Level level, CompareTrace* trace) {
  if (!compares_bytes_from(level)) return comp_keys(a, b, level.key, trace);
  const LevelText ta = level_text(a, level.key), tb = level_text(b, level.key);
  return compare_level_texts(a, ta, b, tb, level, trace);
}

std::uint64_t sort_prefix(std::string_view line) { return level_prefix(line, Level{}); }

int tie_start(std::uint64_t prefix) {
  switch (tie_rule(prefix, Level{})) {
    case TieRule::kEqual: return -1;
    case TieRule::kNextKey: return 1;
    default: return 0;
  }
}

bool prefix_marks_failed_number(std::uint64_t prefix, Level level) {
  if (level.key >= sort_cnt || sort[level.key].type != kNumeric) return false;
  const std::uint64_t v = reversed(level.key) ? ~prefix : prefix;
  return v == (kPresent | kFailed);
}

}  // namespace qorla
