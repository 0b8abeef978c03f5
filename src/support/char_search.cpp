#include "support/char_search.h"

namespace qorla {

namespace {

// Length of the character starting at p: two for a lead byte that is not
// the last byte before the terminator, otherwise one.
inline int char_length(const unsigned char* p) {
  return is_lead_byte(p[0]) && p[1] != 0 ? 2 : 1;
}

}  // namespace

const char* Strchr(const char* str, int ch) {
  const auto c = static_cast<unsigned char>(ch);
  for (auto p = reinterpret_cast<const unsigned char*>(str); *p != 0; p += char_length(p)) {
    if (*p == c) return reinterpret_cast<const char*>(p);
  }
  return nullptr;
}

const char* Strrchr(const char* str, int ch) {
  const auto c = static_cast<unsigned char>(ch);
  const unsigned char* found = nullptr;
  for (auto p = reinterpret_cast<const unsigned char*>(str); *p != 0; p += char_length(p)) {
    if (*p == c) found = p;
  }
  return reinterpret_cast<const char*>(found);
}

const char* index(const char* str, int ch) {
  const auto c = static_cast<unsigned char>(ch);
  for (auto p = reinterpret_cast<const unsigned char*>(str); *p != 0; ++p) {
    if (*p == c) return reinterpret_cast<const char*>(p);
  }
  return nullptr;
}

}  // namespace qorla
