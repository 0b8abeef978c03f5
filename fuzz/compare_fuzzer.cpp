// Random key settings and three random lines through the comparison and
// the collation: antisymmetry, transitivity, the order that the sort
// computes from its per-line prefixes (level by level, and skipping what
// the lines share) against comp itself, and lines left untouched.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "order/collation.h"
#include "order/compare.h"
#include "order/settings.h"
#include "sort/sort_prefix.h"

namespace {

using qorla_fuzz::sign;

// The order the sort gives two lines without their input positions: the
// first-level prefixes, then, while they tie, what the tie rule says (equal,
// comp_keys from the prefix's key, or the prefixes of the next level). With
// skip, as the engine walks it: where the two texts of a text level agree
// for eight bytes or more, the level skips to where they differ, and texts
// equal to their ends go on to the next key at once. At every level where
// the lines tie, comparing them from the next level on must give comp.
int record_order(const char* a, const char* b, bool skip) {
  const int expected = sign(qorla::comp(a, b));
  qorla::Level level{};
  FUZZ_CHECK(qorla::sort_prefix(a) == qorla::level_prefix(a, level));
  for (int steps = 0; steps < 100000; ++steps) {
    if (skip && qorla::reads_text(level.key)) {
      const qorla::LevelText ta = qorla::level_text(a, level.key), tb = qorla::level_text(b, level.key);
      if (ta.present && tb.present) {
        const std::size_t common = qorla::common_length(ta.text, tb.text, level);
        if (common == qorla::kTextsEqual) {
          if (qorla::after_key(level.key) == qorla::TieRule::kEqual) return 0;
          level = qorla::next_level(level, qorla::TieRule::kNextKey, ta.text);
          continue;
        }
        // The texts differ at the first position after the common ones.
        const qorla::Level at = qorla::skip_shared(level, ta.text, common);
        FUZZ_CHECK(qorla::level_prefix(a, at) != qorla::level_prefix(b, at));
        if (common >= 8) level = at;
      }
    }
    const std::uint64_t pa = qorla::level_prefix(a, level), pb = qorla::level_prefix(b, level);
    if (pa != pb) return pa < pb ? -1 : 1;
    const qorla::TieRule rule = qorla::tie_rule(pa, level);
    if (rule == qorla::TieRule::kEqual) return 0;
    if (rule == qorla::TieRule::kCompare) return sign(qorla::comp_keys(a, b, level.key, nullptr));
    level = qorla::next_level(level, rule, qorla::level_text(a, level.key).text);
    // (Not under a full table of 256 keys: each check walks the remaining keys.)
    if (qorla::sort_cnt < qorla::kMaxKeys) FUZZ_CHECK(sign(qorla::compare_from(a, b, level, nullptr)) == expected);
  }
  FUZZ_CHECK(!"the levels never end");
  return 0;
}

// The same for lines whose first-level prefixes tie, through tie_start.
int first_tie_order(const char* a, const char* b) {
  const int start = qorla::tie_start(qorla::sort_prefix(a));
  return start < 0 ? 0 : sign(qorla::comp_keys(a, b, start, nullptr));
}

// The three properties of a total preorder on all orderings of three items.
template <typename Order>
void check_preorder(const char* const* items, Order order) {
  int r[3][3];
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) r[i][j] = sign(order(items[i], items[j]));
  }
  for (int i = 0; i < 3; ++i) {
    FUZZ_CHECK(r[i][i] == 0);
    for (int j = 0; j < 3; ++j) {
      FUZZ_CHECK(r[i][j] == -r[j][i]);
      for (int k = 0; k < 3; ++k) {
        if (r[i][j] <= 0 && r[j][k] <= 0) FUZZ_CHECK(r[i][k] <= 0);
        if (r[i][j] < 0 && r[j][k] <= 0) FUZZ_CHECK(r[i][k] < 0);
        if (r[i][j] == 0 && r[j][k] == 0) FUZZ_CHECK(r[i][k] == 0);
      }
    }
  }
}

void read_key(qorla_fuzz::Reader& in, qorla::KeySpec& key) {
  static const std::int16_t kTypes[] = {qorla::kText, qorla::kHex, qorla::kNumeric, qorla::kTime,
                                        qorla::kDate};
  const std::uint8_t a = in.byte(), b = in.byte(), c = in.byte();
  key.no = static_cast<std::int16_t>(1 + (a & 7));
  key.type = kTypes[(a >> 3) % 5];
  key.rev = (a >> 7) & 1;
  // Positions and lengths: small ones, and now and then the largest.
  key.pos = (b & 0x80) ? static_cast<std::int16_t>(32767 - (b & 3)) : static_cast<std::int16_t>(b & 15);
  key.len = (c & 0x80) ? static_cast<std::int16_t>(c & 0x40 ? 32767 : qorla::kWholeField)
                       : static_cast<std::int16_t>(1 + (c & 15));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qorla_fuzz::Reader in{data, size};
  qorla::reset_settings();
  const std::uint8_t flags = in.byte();
  qorla::ignore_case = flags & 1;
  qorla::rev_flag = (flags >> 1) & 1;
  if (flags & 4) qorla::field_separator = in.byte();
  qorla::sort_cnt = (flags >> 3) & 3;
  for (int k = 0; k < qorla::sort_cnt; ++k) read_key(in, qorla::sort[k]);
  const bool full_table = (in.byte() & 1) && qorla::sort_cnt > 0;
  if (full_table) {
    // A full table of 256 keys: the keys given, over and over.
    for (int k = qorla::sort_cnt; k < qorla::kMaxKeys; ++k) qorla::sort[k] = qorla::sort[k % qorla::sort_cnt];
    qorla::sort_cnt = qorla::kMaxKeys;
  }

  // Three lines, separated by 0 bytes.
  const std::string_view rest = in.rest();
  std::string lines[3];
  std::size_t at = 0;
  for (std::string& line : lines) {
    if (at > rest.size()) break;
    const std::size_t end = rest.find('\0', at);
    line = std::string(rest.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at));
    at = end == std::string_view::npos ? rest.size() + 1 : end + 1;
  }
  // Under a full table every comparison walks 256 keys: short lines keep
  // the runs fast.
  if (full_table) {
    for (std::string& line : lines) line.resize(std::min<std::size_t>(line.size(), 64));
  }
  const std::string before[3] = {lines[0], lines[1], lines[2]};
  const char* items[3] = {lines[0].c_str(), lines[1].c_str(), lines[2].c_str()};

  check_preorder(items, qorla::comp);
  check_preorder(items, qorla::StrCmp);
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      const int c = sign(qorla::comp(items[i], items[j]));
      FUZZ_CHECK(record_order(items[i], items[j], false) == c);
      FUZZ_CHECK(record_order(items[i], items[j], true) == c);
      if (qorla::sort_prefix(items[i]) == qorla::sort_prefix(items[j])) {
        FUZZ_CHECK(first_tie_order(items[i], items[j]) == c);
      }
      FUZZ_CHECK(sign(qorla::collate(lines[i], lines[j])) == sign(qorla::StrCmp(items[i], items[j])));
      const int n = static_cast<int>(flags >> 5) - 1;  // -1 to 6
      FUZZ_CHECK(sign(qorla::StrnCmp(items[i], items[j], n)) == -sign(qorla::StrnCmp(items[j], items[i], n)));
    }
  }
  for (int i = 0; i < 3; ++i) FUZZ_CHECK(lines[i] == before[i]);
  return 0;
}
