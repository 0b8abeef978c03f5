#include "support/messages.h"

#include <cstdio>
#include <cstring>

#include "support/char_search.h"

namespace qorla {

namespace {

constexpr int kBufferSize = 1280;
constexpr int kTextLimit = 1024;
constexpr int kStringCut = 768;

char text_buffer[kBufferSize];

// Appends a printf conversion of one value. The room left is always at
// least 256 bytes when this is called, far more than a number needs; %f of
// a huge value is cut by snprintf rather than overrunning.
template <typename T>
int append_number(int at, const char* conversion, T value) {
  const int room = kBufferSize - 1 - at;
  const int n = std::snprintf(text_buffer + at, room + 1, conversion, value);
  return at + (n < 0 ? 0 : (n > room ? room : n));
}

int append_string(int at, const char* s) {
  int n = static_cast<int>(std::strlen(s));
  if (n + at > kTextLimit) {
    n = kStringCut - at;
    if (n < 0) n = 0;  // text already past the cut: copy nothing
  }
  std::memcpy(text_buffer + at, s, n);
  return at + n;
}

}  // namespace

const char* err_edit(const char* fmt, va_list args) {
  int at = 0;
  const char* f = fmt;
  while (at < kTextLimit && *f != 0) {
    if (*f == '\\' && f[1] != 0) {
      text_buffer[at++] = f[1];
      f += 2;
    } else if (*f != '%') {
      text_buffer[at++] = *f++;
    } else if (f[1] == 0) {
      text_buffer[at++] = *f++;  // a lone '%' at the end is kept
    } else {
      switch (f[1]) {
        case 'c': text_buffer[at++] = static_cast<char>(va_arg(args, int)); break;
        case 'd': at = append_number(at, "%d", va_arg(args, int)); break;
        case 'x': at = append_number(at, "%x", va_arg(args, unsigned)); break;
        case 'f': at = append_number(at, "%f", va_arg(args, double)); break;
        case 's': at = append_string(at, va_arg(args, const char*)); break;
        default:
          text_buffer[at++] = f[0];
          text_buffer[at++] = f[1];
          break;
      }
      f += 2;
    }
  }
  text_buffer[at] = 0;
  return text_buffer;
}

void errmsg(const char* fmt, ...) {
  const char* text = fmt;
  if (Strchr(fmt, '%') != nullptr) {
    va_list args;
    va_start(args, fmt);
    text = err_edit(fmt, args);
    va_end(args);
  }
  std::fputs(text, stderr);
}

}  // namespace qorla
