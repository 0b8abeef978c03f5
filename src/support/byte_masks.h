// Where the bytes that end a line, or that need more than a plain copy,
// stand in a stretch of text: 64 bytes at a time, one bit a byte, so that
// a reader finds many short lines with one look at their bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qorla {

struct ByteMasks {
  std::uint64_t line_feeds;  // bit i: data[i] is a line feed
  std::uint64_t special;     // bit i: data[i] is a carriage return, 0x1A or 0
};

// The masks of data[0, n), n at most 64; bits from n on are clear.
ByteMasks scan_bytes(const char* data, std::size_t n);

}  // namespace qorla
