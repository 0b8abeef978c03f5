#include "order/compare.h"

#include <cstdint>
#include <cstring>
#include <string_view>

#include "order/collation.h"
#include "order/field_locator.h"
#include "order/key_values.h"
#include "order/settings.h"

namespace qorla {

namespace {

template <typename T>
int three_way(T x, T y) {
  return (x > y) - (x < y);
}

int compare_numeric(std::string_view a, std::string_view b, CompareTrace* trace) {
  const NumericKey x = to_number(a), y = to_number(b);
  if ((x.failed || y.failed) && trace != nullptr) trace->numeric_failure_consulted = true;
  if (x.failed && y.failed) return 0;
  if (x.failed) return 1;
  if (y.failed) return -1;
  return three_way(x.value, y.value);
}

int compare_key_texts(std::int16_t type, std::string_view a, std::string_view b,
                      CompareTrace* trace) {
  switch (type) {
    case kHex: return three_way(tohex(a), tohex(b));
    case kNumeric: return compare_numeric(a, b, trace);
    case kTime: return three_way(totime(a), totime(b));
    case kDate: return three_way(todate(a, 50), todate(b, 50));
    default: return ignore_case ? collate(a, b) : compare_bytes(a, b);
  }
}

int compare_whole_lines(std::string_view a, std::string_view b) {
  const int r = ignore_case ? collate(a, b) : compare_bytes(a, b);
  return rev_flag ? -r : r;
}

}  // namespace

int comp_keys(std::string_view a, std::string_view b, int first_key, CompareTrace* trace) {
  if (sort_cnt == 0) return compare_whole_lines(a, b);
  for (int k = first_key; k < sort_cnt; ++k) {
    const KeySpec& key = sort[k];
    const char *a_end = nullptr, *b_end = nullptr;
    const char* a_key = str_search(a.data(), key.no, key.pos, key.len, &a_end);
    const char* b_key = str_search(b.data(), key.no, key.pos, key.len, &b_end);
    if (a_key == nullptr && b_key == nullptr) return 0;
    if (a_key == nullptr) return key.rev ? 1 : -1;
    if (b_key == nullptr) return key.rev ? -1 : 1;
    const int r = compare_key_texts(key.type, std::string_view(a_key, a_end - a_key),
                                    std::string_view(b_key, b_end - b_key), trace);
    if (r != 0) return key.rev ? -three_way(r, 0) : three_way(r, 0);
  }
  return 0;
}

int comp(std::string_view a, std::string_view b) { return comp_keys(a, b, 0, nullptr); }

int compare_bytes(std::string_view a, std::string_view b) {
  // Eight bytes at a time, by hand: keys are short, and the library's
  // comparison of a few bytes costs more than the bytes.
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t x, y;
    std::memcpy(&x, a.data() + i, 8);
    std::memcpy(&y, b.data() + i, 8);
    if (x != y) return __builtin_bswap64(x) < __builtin_bswap64(y) ? -1 : 1;
  }
  for (; i < n; ++i) {
    if (a[i] != b[i]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]) ? -1 : 1;
  }
  return three_way(a.size(), b.size());
}

}  // namespace qorla

namespace qorla {

bool has_numeric_key() {
  for (int k = 0; k < sort_cnt; ++k) {
    if (sort[k].type == kNumeric) return true;
  }
  return false;
}

bool has_failed_numeric_key(std::string_view line, int first_key) {
  for (int k = first_key; k < sort_cnt; ++k) {
    const KeySpec& key = sort[k];
    if (key.type != kNumeric) continue;
    const char* end = nullptr;
    const char* start = str_search(line.data(), key.no, key.pos, key.len, &end);
    if (start != nullptr && to_number(std::string_view(start, end - start)).failed) return true;
  }
  return false;
}

}  // namespace qorla
