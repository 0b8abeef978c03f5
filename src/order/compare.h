// The order of two stored lines: whole lines, or the key list.
#pragma once

#include <string_view>

namespace qorla {

// What a comparison met on its way, for callers that need more than the sign.
struct CompareTrace {
  bool numeric_failure_consulted = false;
};

// Compares two stored lines by keys first_key onwards of the key table, or
// as whole lines when the table is empty. Negative, zero or positive. A
// line holds no 0 byte, and holds a line feed or is followed by a 0 byte
// (a C string is both). Never writes to the lines.
int comp_keys(std::string_view a, std::string_view b, int first_key, CompareTrace* trace);

// The order of the output: comp_keys from the first key.
int comp(std::string_view a, std::string_view b);

// strcmp's order over spans that hold no 0 byte: negative, zero or positive.
int compare_bytes(std::string_view a, std::string_view b);

}  // namespace qorla

namespace qorla {

// True when one of keys first_key onwards of the line is a numeric key
// whose value does not fit single precision (or is not a number).
bool has_failed_numeric_key(std::string_view line, int first_key);

// True when the key table holds a numeric key.
bool has_numeric_key();

}  // namespace qorla
