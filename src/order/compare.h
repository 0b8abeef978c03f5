// The order of two stored lines: whole lines, or the key list.
#pragma once

namespace qorla {

// What a comparison met on its way, for callers that need more than the sign.
struct CompareTrace {
  bool numeric_failure_consulted = false;
};

// Compares two stored lines (NUL-terminated) by keys first_key onwards of
// the key table, or as whole lines when the table is empty. Negative, zero
// or positive. Never writes to the lines.
int comp_keys(const char* a, const char* b, int first_key, CompareTrace* trace);

// The order of the output: comp_keys from the first key.
int comp(const char* a, const char* b);

}  // namespace qorla

namespace qorla {

// True when one of keys first_key onwards of the line is a numeric key
// whose value does not fit single precision (or is not a number).
bool has_failed_numeric_key(const char* line, int first_key);

// True when the key table holds a numeric key.
bool has_numeric_key();

}  // namespace qorla
