// A stored line as the reading, the sort and the output pass it around.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qorla {

// One stored line in one word: the address of its text in the low 48 bits
// (user-space addresses fit them on the platforms this runs on; the places
// that hand out line memory check it) and its length in the high 16 (a line
// holds at most 4095 bytes). The text holds no 0 byte, and it holds a line
// feed or is followed by a 0 byte, so a walk that stops at either stays
// inside it.
struct LineRef {
  std::uint64_t bits;
};

constexpr int kLineAddressBits = 48;
constexpr std::uint64_t kLineAddressMask = (std::uint64_t{1} << kLineAddressBits) - 1;

inline LineRef make_line_ref(const char* text, std::size_t size) {
  return LineRef{reinterpret_cast<std::uintptr_t>(text) | static_cast<std::uint64_t>(size) << kLineAddressBits};
}
inline const char* line_data(LineRef line) { return reinterpret_cast<const char*>(line.bits & kLineAddressMask); }
inline std::size_t line_size(LineRef line) { return static_cast<std::size_t>(line.bits >> kLineAddressBits); }
inline std::string_view line_text(LineRef line) { return {line_data(line), line_size(line)}; }

// True when every address of [block, block + size) fits a LineRef.
inline bool fits_line_ref(const void* block, std::size_t size) {
  return reinterpret_cast<std::uintptr_t>(block) + size <= kLineAddressMask;
}

}  // namespace qorla
