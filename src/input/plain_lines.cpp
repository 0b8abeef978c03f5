#include "input/plain_lines.h"

#include <atomic>

#include "support/byte_masks.h"
#include "support/parallel.h"

namespace qorla {

namespace {

constexpr int kMaxParts = 64;

// The text is cut into parts at multiples of 64 bytes; a line belongs to
// the part that holds its line feed.
struct PlainScan {
  std::string_view text;
  std::size_t max_line;
  int parts;
  std::size_t feeds[kMaxParts];      // line feeds in each part
  std::size_t last_feed[kMaxParts];  // offset after the last one, or 0
  bool special[kMaxParts];
  LineRef* slots;                    // the lines of part p start at slots + first[p]
  std::size_t first[kMaxParts + 1];
  std::atomic<bool> too_long{false};
};

std::size_t part_start(const PlainScan& scan, int part) { return part_begin(scan.text.size(), scan.parts, part, 64); }

ByteMasks masks_at(std::string_view text, std::size_t at) {
  return scan_bytes(text.data() + at, text.size() - at < 64 ? text.size() - at : 64);
}

void count_part(int part, void* context) {
  auto& scan = *static_cast<PlainScan*>(context);
  std::size_t feeds = 0, last = 0;
  std::uint64_t special = 0;
  for (std::size_t at = part_start(scan, part), end = part_start(scan, part + 1); at < end; at += 64) {
    __builtin_prefetch(scan.text.data() + at + 1024);
    const ByteMasks m = masks_at(scan.text, at);
    special |= m.special;
    if (m.line_feeds != 0) {
      feeds += static_cast<std::size_t>(__builtin_popcountll(m.line_feeds));
      last = at + 64 - static_cast<std::size_t>(__builtin_clzll(m.line_feeds));
    }
  }
  scan.feeds[part] = feeds;
  scan.last_feed[part] = last;
  scan.special[part] = special != 0;
}

void store_part(int part, void* context) {
  auto& scan = *static_cast<PlainScan*>(context);
  // The first line of the part starts after the last line feed before it.
  std::size_t line_start = 0;
  for (int p = part - 1; p >= 0 && line_start == 0; --p) line_start = scan.last_feed[p];
  LineRef* slot = scan.slots + scan.first[part];
  bool too_long = false;
  for (std::size_t at = part_start(scan, part), end = part_start(scan, part + 1); at < end; at += 64) {
    for (std::uint64_t feeds = masks_at(scan.text, at).line_feeds; feeds != 0; feeds &= feeds - 1) {
      const std::size_t line_end = at + static_cast<std::size_t>(__builtin_ctzll(feeds)) + 1;
      too_long = too_long || line_end - line_start >= scan.max_line;
      *slot++ = make_line_ref(scan.text.data() + line_start, line_end - line_start);
      line_start = line_end;
    }
  }
  if (too_long) scan.too_long.store(true, std::memory_order_relaxed);
}

}  // namespace

bool store_plain_lines(std::string_view text, std::size_t max_line, LineTable& table, std::size_t* end) {
  static PlainScan scan;  // one text at a time
  scan.text = text;
  scan.max_line = max_line;
  scan.parts = worker_count() < kMaxParts ? worker_count() : kMaxParts;
  scan.too_long = false;
  run_parallel(scan.parts, count_part, &scan);
  scan.first[0] = 0;
  for (int p = 0; p < scan.parts; ++p) {
    if (scan.special[p]) return false;
    scan.first[p + 1] = scan.first[p] + scan.feeds[p];
  }
  const std::size_t count = scan.first[scan.parts];
  const std::int32_t before = table.line_count;
  scan.slots = extend_table(table, count);
  run_parallel(scan.parts, store_part, &scan);
  if (scan.too_long) {
    table.line_count = before;
    return false;
  }
  *end = 0;
  for (int p = scan.parts - 1; p >= 0 && *end == 0; --p) *end = scan.last_feed[p];
  return true;
}

}  // namespace qorla
