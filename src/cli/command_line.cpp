#include "cli/command_line.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "order/settings.h"
#include "support/char_search.h"
#include "support/messages.h"

namespace qorla {

namespace {

[[noreturn]] void fail(const char* format, const char* argument) {
  errmsg(format, argument);
  std::exit(1);
}

inline bool is_digit(char c) { return c >= '0' && c <= '9'; }
inline bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

const char* skip_digits(const char* p) {
  while (is_digit(*p)) ++p;
  return p;
}

// Values are kept as their low 16 bits, and tested after that cut.
std::int16_t low16(int v) { return static_cast<std::int16_t>(static_cast<std::uint16_t>(v)); }

void apply_option_letter(KeySpec& key, char letter, const char* arg) {
  switch (letter) {
    case 's': key.type = kText; break;
    case 'n': key.type = kNumeric; break;
    case 'x': key.type = kHex; break;
    case 't': key.type = kTime; break;
    case 'd': key.type = kDate; break;
    case 'r': key.rev = 1; break;
    default: fail("%s: bad option\n", arg);
  }
}

void parse_key_spec(const char* arg) {
  if (sort_cnt >= kMaxKeys) fail("%s: bad field description\n", arg);
  KeySpec& key = sort[sort_cnt];
  enum { kFieldNumber, kOption, kPosition, kLength } mode = kFieldNumber;
  const char* p = arg;
  while (*p != 0) {
    if (*p == '.') {
      mode = kPosition;
      ++p;
      continue;
    }
    if (*p == ',') {
      mode = kLength;
      ++p;
      continue;
    }
    switch (mode) {
      case kFieldNumber:
        key.no = low16(parse_int(p));
        if (key.no <= 0) fail("%s: bad field number\n", arg);
        p = skip_digits(p + 1);
        mode = kOption;
        break;
      case kOption:
        if (!is_letter(*p)) fail("%s: bad field description\n", arg);
        while (is_letter(*p)) apply_option_letter(key, *p++, arg);
        break;
      case kPosition:
        key.pos = low16(parse_int(p));
        if (key.pos < 0) fail("%s: bad position\n", arg);
        p = skip_digits(p + 1);
        mode = kOption;
        break;
      case kLength:
        key.len = low16(parse_int(p));
        if (key.len <= 0) fail("%s: bad length\n", arg);
        p = skip_digits(p);
        mode = kOption;
        break;
    }
  }
  ++sort_cnt;
}

void parse_cut_range(const char* range, Options& options) {
  options.cut_first = parse_int(range);
  if (options.cut_first == 0) fail("%s: bad cutting description\n", range);
  const char* dash = index(range, '-');
  if (dash == nullptr) return;
  if (dash[1] != 0) options.cut_last = parse_int(dash + 1);
  if (options.cut_last < options.cut_first) fail("%s; bad cutting description\n", range);
}

void parse_flags(const char* arg, Options& options) {
  for (const char* p = arg + 1; *p != 0; ++p) {
    switch (*p) {
      case 'J': options.join_flag = 1; break;
      case 'i': ignore_case = 1; break;
      case 'u': options.uniq_flag = 1; break;
      case 'v': rev_flag = 1; break;
      default: fail("%s: bad option", arg);
    }
  }
}

void set_separator(const char* arg) {
  const char* rest = arg + 2;
  field_separator = std::strcmp(rest, "\\t") == 0 ? '\t' : static_cast<unsigned char>(rest[0]);
}

}  // namespace

int parse_int(const char* text) {
  const char* p = text;
  while (*p == ' ' || (*p >= 0x09 && *p <= 0x0D)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  std::uint32_t value = 0;
  for (; is_digit(*p); ++p) value = value * 10 + static_cast<std::uint32_t>(*p - '0');
  return static_cast<int>(negative ? 0u - value : value);
}

Options parse_command_line(int argc, char** argv) {
  reset_settings();
  Options options;
  int i = 1;
  for (; i < argc; ++i) {
    const char* arg = argv[i];
    if (arg[0] == '+') {
      parse_key_spec(arg);
    } else if (arg[0] != '-') {
      break;
    } else if (std::strncmp(arg, "-t", 2) == 0) {
      set_separator(arg);
    } else if (std::strcmp(arg, "-c") == 0) {
      if (i + 1 >= argc || argv[i + 1][0] == '-') {
        errmsg("cutting field number missing\n");
        std::exit(1);
      }
      parse_cut_range(argv[++i], options);
    } else {
      parse_flags(arg, options);
    }
  }
  options.first_file = i;
  // -v turns every entry around, used or not.
  if (rev_flag) {
    for (KeySpec& key : sort) key.rev = key.rev == 0 ? 1 : 0;
  }
  return options;
}

}  // namespace qorla
