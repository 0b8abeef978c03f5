#include "order/sort_prefix.h"

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

// First eight bytes of the text, big-endian, zero-padded: byte order equals
// strcmp order because no stored text holds a 0 byte.
std::uint64_t byte_prefix(const unsigned char* p, std::size_t n) {
  std::uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = (v << 8) | (static_cast<std::size_t>(i) < n ? p[i] : 0);
  return v;
}

// The same for the case-insensitive collation, through its byte codes.
std::uint64_t collation_prefix(const unsigned char* p, std::size_t n) {
  std::uint64_t v = 0;
  std::size_t i = 0;
  int filled = 0;
  while (filled < 8) {
    const unsigned char b = i < n ? p[i] : 0;
    const unsigned char code = collation_code(b);
    v = (v << 8) | code;
    ++filled;
    ++i;
    // A double-byte unit: its second byte follows unchanged.
    if (code >= 165 && filled < 8) {
      v = (v << 8) | (i < n ? p[i] : 0);
      ++filled;
      ++i;
    }
  }
  return v;
}

std::uint64_t text_prefix(const char* s, std::size_t n) {
  const auto p = reinterpret_cast<const unsigned char*>(s);
  return ignore_case ? collation_prefix(p, n) : byte_prefix(p, n);
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

bool reversed() { return sort_cnt == 0 ? rev_flag != 0 : sort[0].rev != 0; }

}  // namespace

bool prefix_is_exact_value() { return sort_cnt > 0 && is_typed(sort[0].type); }

std::uint64_t sort_prefix(const char* line) {
  std::uint64_t v;
  if (sort_cnt == 0) {
    v = text_prefix(line, std::strlen(line));
  } else {
    const KeySpec& key = sort[0];
    const char* end = nullptr;
    const char* start = str_search(line, key.no, key.pos, key.len, &end);
    if (start == nullptr) {
      v = 0;
    } else {
      const std::string_view text(start, end - start);
      v = is_typed(key.type) ? typed_prefix(key.type, text) : text_prefix(start, text.size());
    }
  }
  return reversed() ? ~v : v;
}

int tie_start(std::uint64_t prefix) {
  const std::uint64_t v = reversed() ? ~prefix : prefix;
  // A text prefix ending in 0 holds its whole text.
  const bool whole_text = (v & 0xFF) == 0;
  if (sort_cnt == 0) return whole_text ? -1 : 0;
  if (v == 0) return prefix_is_exact_value() ? -1 : 0;  // missing, or an empty text key
  if (prefix_is_exact_value()) return 1;
  return whole_text ? 1 : 0;
}

}  // namespace qorla

namespace qorla {

bool prefix_marks_failed_number(std::uint64_t prefix) {
  if (sort_cnt == 0 || sort[0].type != kNumeric) return false;
  const std::uint64_t v = reversed() ? ~prefix : prefix;
  return v == (kPresent | kFailed);
}

}  // namespace qorla
