#include "order/key_values.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace qorla {

namespace {

inline bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }

int hex_digit(unsigned char c) {
  if (is_digit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::int32_t tohex(std::string_view text) {
  std::size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) ++i;
  if (text.size() >= i + 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) i += 2;
  std::int32_t value = 0;
  for (; i < text.size(); ++i) {
    const int d = hex_digit(static_cast<unsigned char>(text[i]));
    if (d < 0) break;
    // Shift within 32 bits, dropping the top four, then read as signed.
    const auto next = static_cast<std::int32_t>((static_cast<std::uint32_t>(value) << 4) |
                                                static_cast<std::uint32_t>(d));
    if (next < value) break;
    value = next;
  }
  return negative ? -value : value;
}

std::int32_t todate(std::string_view text, int pivot) {
  std::int64_t part[3] = {-1, -1, -1};
  int slashes = 0;
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '/') {
      if (++slashes == 3) return -1;
      ++i;
    } else if (is_digit(c)) {
      // Saturate: any component beyond 32 bits fails its range test anyway.
      std::int64_t v = 0;
      for (; i < text.size() && is_digit(static_cast<unsigned char>(text[i])); ++i) {
        if (v < 100000000000LL) v = v * 10 + (text[i] - '0');
      }
      part[slashes] = v;
    } else {
      return -1;
    }
  }
  auto in = [](std::int64_t v, int lo, int hi) { return v >= lo && v <= hi; };
  if (slashes == 0) return -1;
  if (slashes == 1) {
    if (!in(part[0], 1, 12) || !in(part[1], 1, 31)) return -1;
    return static_cast<std::int32_t>(part[0] * 100 + part[1]);
  }
  std::int64_t year = part[0];
  if (!in(year, 0, 9999) || !in(part[1], 1, 12) || !in(part[2], 1, 31)) return -1;
  if (pivot > 0 && pivot < 100 && year < 100) year += year <= pivot ? 2000 : 1900;
  return static_cast<std::int32_t>(year * 10000 + part[1] * 100 + part[2]);
}

std::int32_t totime(std::string_view text) {
  std::size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) ++i;
  // Unsigned arithmetic wraps like 32-bit two's complement, without
  // undefined behaviour.
  std::uint32_t sum = 0, number = 0, unit = 3600;
  for (; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (is_digit(c)) {
      number = number * 10 + (c - '0');
    } else if (c == ':') {
      sum += number * unit;
      unit /= 60;
      number = 0;
      if (unit == 0) break;
    } else {
      break;
    }
  }
  sum += number * unit;
  return static_cast<std::int32_t>(negative ? 0u - sum : sum);
}

namespace {

// The accepted decimal text: [sign] digits [. digits] [e [sign] digits].
struct DecimalText {
  std::size_t begin = 0, end = 0;  // the number, sign included
  bool negative = false;
  bool special = false;  // +INF, -INF, +NAN, -NAN
  double special_value = 0;
  // Fast path data: all digits as an integer and the decimal exponent.
  std::uint64_t mantissa = 0;
  int digits = 0;
  int exponent10 = 0;
  bool has_exponent = false;
};

bool is_space(unsigned char c) { return c == ' ' || (c >= 0x09 && c <= 0x0D); }

bool scan_decimal(std::string_view t, DecimalText& d) {
  std::size_t i = 0;
  while (i < t.size() && is_space(static_cast<unsigned char>(t[i]))) ++i;
  d.begin = i;
  bool signed_text = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
    d.negative = t[i] == '-';
    signed_text = true;
    ++i;
  }
  if (signed_text && t.substr(i, 3) == "INF") {
    d.special = true;
    d.special_value = d.negative ? -HUGE_VAL : HUGE_VAL;
    return true;
  }
  if (signed_text && t.substr(i, 3) == "NAN") {
    d.special = true;
    d.special_value = NAN;
    return true;
  }
  int seen_digits = 0;
  bool point = false;
  for (; i < t.size(); ++i) {
    const auto c = static_cast<unsigned char>(t[i]);
    if (is_digit(c)) {
      ++seen_digits;
      if (d.mantissa == 0 && c == '0') {
        if (point) --d.exponent10;
        continue;
      }
      if (d.digits < 19) {
        d.mantissa = d.mantissa * 10 + (c - '0');
        ++d.digits;
        if (point) --d.exponent10;
      } else {
        d.digits = 99;  // too many significant digits for the fast path
        if (!point) ++d.exponent10;
      }
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (seen_digits == 0) return false;
  std::size_t j = i;
  if (j < t.size() && (t[j] == 'e' || t[j] == 'E')) {
    ++j;
    if (j < t.size() && (t[j] == '+' || t[j] == '-')) ++j;
    if (j < t.size() && is_digit(static_cast<unsigned char>(t[j]))) {
      while (j < t.size() && is_digit(static_cast<unsigned char>(t[j]))) ++j;
      i = j;
      d.has_exponent = true;
    }
  }
  d.end = i;
  return true;
}

// Exact when the mantissa and the power of ten are both exact doubles: one
// correctly rounded division or multiplication then gives the nearest double.
bool fast_value(const DecimalText& d, double& out) {
  static const double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                  1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  if (d.has_exponent || d.digits > 15) return false;
  const int e = d.exponent10;
  if (e < -22 || e > 22) return false;
  double v = static_cast<double>(d.mantissa);
  v = e < 0 ? v / kPow10[-e] : v * kPow10[e];
  out = d.negative ? -v : v;
  return true;
}

double slow_value(std::string_view t, const DecimalText& d) {
  // The text is validated, so strtod sees only the plain decimal grammar.
  char buffer[4100];
  const std::size_t n = d.end - d.begin;
  if (n >= sizeof buffer) return 0;  // keys never exceed a stored line
  std::memcpy(buffer, t.data() + d.begin, n);
  buffer[n] = 0;
  double v = std::strtod(buffer, nullptr);
  if (std::isinf(v)) v = std::copysign(DBL_MAX, v);
  return v;
}

}  // namespace

NumericKey to_number(std::string_view text) {
  DecimalText d;
  if (!scan_decimal(text, d)) return {0.0f, false};
  if (d.special) {
    if (std::isnan(d.special_value)) return {0.0f, true};
    return {static_cast<float>(d.special_value), false};
  }
  double v;
  if (!fast_value(d, v)) v = slow_value(text, d);
  const auto f = static_cast<float>(v);
  if (std::isinf(f)) return {0.0f, true};
  return {f == 0.0f ? 0.0f : f, false};  // -0 and +0 are one value
}

}  // namespace qorla
