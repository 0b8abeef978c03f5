// Random formats and arguments through the message formatter. The format
// decides which arguments are read; the target reads the format the same
// way to pass an argument of the right type for every directive, and
// compares the text with a model of the formatting rules.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "support/char_search.h"
#include "support/messages.h"

namespace {

constexpr std::size_t kMaxDirectives = 6;
constexpr std::size_t kBufferSize = 1280;

enum class Kind { kInt, kDouble, kString };

struct Arguments {
  int ints[kMaxDirectives];
  double doubles[kMaxDirectives];
  std::string strings[kMaxDirectives];
};

// The directives that take an argument, in order: '%' and the byte after
// it, outside of a backslash escape.
std::vector<Kind> argument_kinds(const std::string& fmt, std::size_t* usable_length) {
  std::vector<Kind> kinds;
  std::size_t f = 0;
  while (f < fmt.size()) {
    if (fmt[f] == '\\' && f + 1 < fmt.size()) {
      f += 2;
    } else if (fmt[f] == '%' && f + 1 < fmt.size()) {
      const char d = fmt[f + 1];
      if (d == 'c' || d == 'd' || d == 'x' || d == 'f' || d == 's') {
        if (kinds.size() == kMaxDirectives) break;
        kinds.push_back(d == 'f' ? Kind::kDouble : d == 's' ? Kind::kString : Kind::kInt);
      }
      f += 2;
    } else {
      ++f;
    }
  }
  *usable_length = f;  // the format is cut before a directive beyond the last argument
  return kinds;
}

std::string printed(const char* conversion, double v) {
  const int n = std::snprintf(nullptr, 0, conversion, v);
  std::string s(static_cast<std::size_t>(n), '\0');
  std::snprintf(s.data(), s.size() + 1, conversion, v);
  return s;
}

std::string printed(const char* conversion, unsigned v) {
  char s[16];
  std::snprintf(s, sizeof s, conversion, v);
  return s;
}

// The formatting rules: escapes, the five directives, other '%' pairs
// copied, the 1024-byte bound tested before each step, the %s cut to 768.
std::string model(const std::string& fmt, const std::vector<Kind>& kinds, const Arguments& a) {
  std::string text;
  std::size_t f = 0, arg = 0;
  while (text.size() < 1024 && f < fmt.size()) {
    const char c = fmt[f];
    if (c == '\\' && f + 1 < fmt.size()) {
      text += fmt[f + 1];
      f += 2;
    } else if (c != '%') {
      text += c;
      ++f;
    } else if (f + 1 == fmt.size()) {
      text += c;
      ++f;
    } else {
      const char d = fmt[f + 1];
      f += 2;
      switch (d) {
        case 'c': text += static_cast<char>(a.ints[arg++]); break;
        case 'd': text += std::to_string(a.ints[arg++]); break;
        case 'x': text += printed("%x", static_cast<unsigned>(a.ints[arg++])); break;
        case 'f': text += printed("%f", a.doubles[arg++]); break;
        case 's': {
          std::string s = a.strings[arg++];
          if (s.size() + text.size() > 1024) s.resize(text.size() < 768 ? 768 - text.size() : 0);
          text += s;
          break;
        }
        default: text += c; text += d; break;
      }
    }
  }
  FUZZ_CHECK(arg <= kinds.size());
  return text;
}

const char* edit(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const char* text = qorla::err_edit(fmt, args);
  va_end(args);
  return text;
}

// Calls err_edit with one argument of the right type per directive: the
// argument list is built up by recursion, one type at a time.
template <typename... T>
const char* call(const char* fmt, const std::vector<Kind>& kinds, const Arguments& a, T... args) {
  constexpr std::size_t i = sizeof...(T);
  if constexpr (i == kMaxDirectives) {
    return edit(fmt, args...);
  } else {
    if (i == kinds.size()) return edit(fmt, args...);
    switch (kinds[i]) {
      case Kind::kInt: return call(fmt, kinds, a, args..., a.ints[i]);
      case Kind::kDouble: return call(fmt, kinds, a, args..., a.doubles[i]);
      case Kind::kString: return call(fmt, kinds, a, args..., a.strings[i].c_str());
    }
    return nullptr;
  }
}

// Where the double-byte-aware search finds the first '%'.
bool has_directive(const std::string& fmt) {
  for (std::size_t i = 0; i < fmt.size();) {
    const auto b = static_cast<unsigned char>(fmt[i]);
    if (b == '%') return true;
    i += qorla::is_lead_byte(b) && i + 1 < fmt.size() ? 2 : 1;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qorla_fuzz::Reader in{data, size};
  Arguments a;
  for (int& v : a.ints) v = static_cast<int>(in.u32());
  for (double& v : a.doubles) {
    const std::uint64_t bits = in.u32() | static_cast<std::uint64_t>(in.u32()) << 32;
    std::memcpy(&v, &bits, sizeof v);
  }
  // Each string repeats a short pattern to a length of up to 2047 bytes, so
  // that the cut rules are reached without huge inputs.
  for (std::string& s : a.strings) {
    const std::size_t length = in.u16() & 0x7FF;
    std::string pattern;
    for (int k = in.byte() & 7; k > 0; --k) {
      const char c = static_cast<char>(in.byte());
      if (c != 0) pattern += c;
    }
    if (pattern.empty()) pattern = "x";
    while (s.size() < length) s += pattern;
    s.resize(length);
  }
  const std::string_view rest = in.rest();
  std::string fmt(rest.substr(0, rest.find('\0')));
  std::size_t usable = 0;
  const std::vector<Kind> kinds = argument_kinds(fmt, &usable);
  fmt.resize(usable);

  const char* text = call(fmt.c_str(), kinds, a);
  // The text must end inside the 1280-byte buffer.
  FUZZ_CHECK(text != nullptr && std::memchr(text, 0, kBufferSize) != nullptr);
  const std::size_t length = std::strlen(text);
  FUZZ_CHECK(length <= kBufferSize - 1);
  std::string expected = model(fmt, kinds, a);
  if (expected.size() <= kBufferSize - 1) {
    expected.resize(std::strlen(expected.c_str()));  // up to a 0 byte written by %c
    FUZZ_CHECK(std::string(text) == expected);
  } else {
    // Only a huge %f goes past the buffer; what is kept is left open, but it
    // is a start of the full text.
    FUZZ_CHECK(expected.compare(0, length, text) == 0);
  }

  // errmsg: a format without a directive is written as it is.
  if (kinds.empty()) {
    qorla_fuzz::StderrCapture capture;
    qorla::errmsg(fmt.c_str());
    const std::string written = capture.finish();
    std::string want = has_directive(fmt) ? model(fmt, kinds, a) : fmt;
    want.resize(std::strlen(want.c_str()));
    FUZZ_CHECK(written == want);
  }
  return 0;
}
