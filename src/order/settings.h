// Settings filled once from the command line and only read
// afterwards: the key specification table, the ordering options and the
// options of the run (reading and output).
#pragma once

#include <cstdint>

namespace qorla {

enum KeyType : std::int16_t {
  kText = 0,
  kHex = 2,
  kNumeric = 3,
  kTime = 4,
  kDate = 5,
};

// One +<field> key; the values are the low 16 bits of what was given.
struct KeySpec {
  std::int16_t no;    // field number, 1 = first field
  std::int16_t type;  // a KeyType code; codes other than 2-5 compare as text
  std::int16_t pos;   // first byte of the key inside the field
  std::int16_t len;   // bytes compared from pos; 4096 = to the end of the field
  std::int16_t rev;   // 1 = descending
};

constexpr int kMaxKeys = 256;
constexpr std::int16_t kWholeField = 4096;

extern KeySpec sort[kMaxKeys];
extern int sort_cnt;
extern unsigned char field_separator;  // 0: runs of blanks and tabs
extern int ignore_case;                // -i
extern int rev_flag;                   // -v

// main's own settings, handed to the reading and output steps; the
// process-wide ones are above.
struct Options {
  int join_flag = 0;    // -J
  int uniq_flag = 0;    // -u
  int cut_first = 0;    // -c n1; 0 keeps lines whole
  int cut_last = 9999;  // -c n2; 9999 = to the last field
  int first_file = 0;   // argv index of the first file operand (argc if none)
};

// Back to the state before any option was read.
void reset_settings();

}  // namespace qorla
