// Character searches over NUL-terminated byte strings.
#pragma once

namespace qorla {

// True for the first byte of a Shift-JIS double-byte character as the
// searches see it: 0x81-0x9F and 0xE0-0xFC.
inline bool is_lead_byte(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// First position that starts a character and holds the low byte of ch;
// the second byte of a double-byte character is never matched.
const char* Strchr(const char* str, int ch);

// Last such position.
const char* Strrchr(const char* str, int ch);

// First byte equal to the low byte of ch, double-byte characters ignored.
const char* index(const char* str, int ch);

}  // namespace qorla
