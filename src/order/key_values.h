// Conversions of typed key texts into values whose order is the keys' order.
// None of them fails: unreadable texts get fixed values.
#pragma once

#include <cstdint>
#include <string_view>

namespace qorla {

// Optional '-', optional 0x/0X, hexadecimal digits while the value stays
// within 0..0x7FFFFFFF. Unreadable text gives 0.
std::int32_t tohex(std::string_view text);

// [yyyy/]mm/dd as year*10000 + month*100 + day (month*100 + day without a
// year); two-digit years around pivot. Anything else gives -1.
std::int32_t todate(std::string_view text, int pivot);

// [-]h[:m[:s]] in seconds, in wrapping 32-bit arithmetic. Unreadable gives 0.
std::int32_t totime(std::string_view text);

// A numeric key: the decimal text read as a double, rounded to single
// precision. failed: the value does not fit single precision (explicit
// +INF/-INF excepted) or is not a number.
struct NumericKey {
  float value;
  bool failed;
};
NumericKey to_number(std::string_view text);

}  // namespace qorla
