#include "sort/sort_prefix.h"

#include <bit>
#include <cstring>
#include <string_view>

#include "order/collation.h"
#include "order/field_locator.h"
#include "order/key_values.h"
#include "order/settings.h"

namespace qorla {

namespace {

constexpr std::uint64_t kPresent = std::uint64_t{1} << 40;
constexpr std::uint64_t kFailed = std::uint64_t{1} << 32;

// Eight bytes of the text from offset, big-endian, zero-padded: byte order
// equals strcmp order because no stored text holds a 0 byte.
std::uint64_t byte_prefix(std::string_view text, std::size_t offset) {
  std::uint64_t v = 0;
  for (std::size_t i = offset; i < offset + 8; ++i) {
    v = (v << 8) | (i < text.size() ? static_cast<unsigned char>(text[i]) : 0);
  }
  return v;
}

inline bool starts_double_byte_unit(unsigned char b) { return collation_code(b) >= 165; }

// The collation's code stream has one code per byte: a unit's first byte
// gives its collation_code, a double-byte unit's second byte stays as it
// is, and the end reads as 0. So eight codes from offset order texts as
// StrCmp does.
std::uint64_t collation_prefix(std::string_view text, std::size_t offset) {
  const auto at = [&](std::size_t i) -> unsigned char {
    return i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
  };
  // Find whether offset falls on a second byte by walking the units.
  std::size_t i = 0;
  while (i < offset) i += starts_double_byte_unit(at(i)) && at(i) != 0 ? 2 : 1;
  std::uint64_t v = 0;
  std::size_t p = offset;
  if (i > offset) v = at(p++);  // the second byte of a unit begun before offset
  while (p < offset + 8) {
    const unsigned char b = at(p++);
    v = (v << 8) | collation_code(b);
    if (starts_double_byte_unit(b) && p < offset + 8) v = (v << 8) | at(p++);
  }
  return v;
}

std::uint64_t text_prefix(std::string_view text, std::size_t offset) {
  return ignore_case ? collation_prefix(text, offset) : byte_prefix(text, offset);
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

TieRule after_key(int key) { return key + 1 < sort_cnt ? TieRule::kNextKey : TieRule::kEqual; }

}  // namespace

std::uint64_t level_prefix(const char* line, Level level) {
  std::uint64_t v;
  if (sort_cnt == 0) {
    // Only the bytes up to the end of this level's window matter.
    v = text_prefix(std::string_view(line, strnlen(line, level.offset + 9)), level.offset);
  } else {
    const KeySpec& key = sort[level.key];
    const char* end = nullptr;
    const char* start = str_search(line, key.no, key.pos, key.len, &end);
    if (start == nullptr) {
      v = 0;  // a missing field sorts before every present one
    } else {
      const std::string_view text(start, static_cast<std::size_t>(end - start));
      v = is_typed(key.type) ? typed_prefix(key.type, text) : text_prefix(text, level.offset);
    }
  }
  return reversed(level.key) ? ~v : v;
}

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

Level next_level(Level level, TieRule rule) {
  if (rule == TieRule::kNextBytes) return Level{level.key, level.offset + 8};
  return Level{level.key + 1, 0};
}

std::uint64_t sort_prefix(const char* line) { return level_prefix(line, Level{}); }

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
