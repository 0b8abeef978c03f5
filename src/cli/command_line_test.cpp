#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "order/settings.h"

namespace qorla {
namespace {

// Runs the parser over "qorla" followed by args. Rejected command lines end
// the process, so they are tested through the binary instead.
Options parse(const std::vector<std::string>& args) {
  static std::vector<std::string> storage;
  storage.assign(1, "qorla");
  storage.insert(storage.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : storage) argv.push_back(s.data());
  argv.push_back(nullptr);
  return parse_command_line(static_cast<int>(storage.size()), argv.data());
}

struct Key {
  int no, type, pos, len, rev;
};

void expect_key(int k, const Key& want, const std::string& label) {
  SCOPED_TRACE(label + " (entry " + std::to_string(k) + ")");
  EXPECT_EQ(sort[k].no, want.no);
  EXPECT_EQ(sort[k].type, want.type);
  EXPECT_EQ(sort[k].pos, want.pos);
  EXPECT_EQ(sort[k].len, want.len);
  EXPECT_EQ(sort[k].rev, want.rev);
}

// An entry never reached by a key keeps type text, position 0, the whole
// field and ascending order.
void expect_unused_defaults(int from, int rev, const std::string& label) {
  for (int k = from; k < kMaxKeys; ++k) {
    SCOPED_TRACE(label + " (unused entry " + std::to_string(k) + ")");
    EXPECT_EQ(sort[k].type, 0);
    EXPECT_EQ(sort[k].pos, 0);
    EXPECT_EQ(sort[k].len, 4096);
    EXPECT_EQ(sort[k].rev, rev);
  }
}

struct KeyCase {
  const char* arg;
  Key want;
};

TEST(CommandLine, AcceptedKeySpecifications) {
  const KeyCase cases[] = {
      {"+1", {1, 0, 0, 4096, 0}},
      {"+2n", {2, 3, 0, 4096, 0}},
      {"+3.5", {3, 0, 5, 4096, 0}},
      {"+3.5,2xr", {3, 2, 5, 2, 1}},
      {"+3.5d", {3, 5, 5, 4096, 0}},
      {"+3,2t", {3, 4, 0, 2, 0}},
      {"+1rn", {1, 3, 0, 4096, 1}},
      {"+1nx", {1, 2, 0, 4096, 0}},
      {"+1ns", {1, 0, 0, 4096, 0}},
      {"+1n.4", {1, 3, 4, 4096, 0}},
      {"+1d.2,3", {1, 5, 2, 3, 0}},
      {"+1,3.2", {1, 0, 2, 3, 0}},
      {"+1.4.6", {1, 0, 6, 4096, 0}},
      {"+1.", {1, 0, 0, 4096, 0}},
      {"+1.,3", {1, 0, 0, 3, 0}},
      {"+1.x", {1, 0, 0, 4096, 0}},  // the letter is stepped over as part of the position
      {"+1.+3", {1, 0, 3, 4096, 0}},
      {"+01", {1, 0, 0, 4096, 0}},
      {"+65537", {1, 0, 0, 4096, 0}},
      {"+1.65536", {1, 0, 0, 4096, 0}},
      // Further combinations of the same rules.
      {"+1,", {1, 0, 0, 4096, 0}},            // a ',' at the end leaves the length
      {"+1.r", {1, 0, 0, 4096, 0}},           // 'r' swallowed by the position step
      {"+1.2r", {1, 0, 2, 4096, 1}},
      {"+1rr", {1, 0, 0, 4096, 1}},           // r only ever sets the flag
      {"+1rs", {1, 0, 0, 4096, 1}},           // s resets the type, not rev
      {"+2t,5.1,7", {2, 4, 1, 7, 0}},         // a later length replaces the earlier one
      {"+4xdtn", {4, 3, 0, 4096, 0}},         // the last type letter wins
      {"+1.-0", {1, 0, 0, 4096, 0}},          // minus zero is not negative
      {"+1. 5", {1, 0, 5, 4096, 0}},          // atoi skips the blank; one byte then the digits
      {"+1.007", {1, 0, 7, 4096, 0}},
      {"+1,007", {1, 0, 0, 7, 0}},
      {"+32767.32767,32767", {32767, 0, 32767, 32767, 0}},  // 16-bit maxima
      {"+1,70000", {1, 0, 0, 4464, 0}},       // 70000 - 65536
      {"+1,4096", {1, 0, 0, 4096, 0}},
      {"+1,4294971392", {1, 0, 0, 4096, 0}},  // 2^32 + 4096 wraps to 4096
      {"+4294967297", {1, 0, 0, 4096, 0}},    // 2^32 + 1 wraps to 1
  };
  for (const KeyCase& c : cases) {
    const Options o = parse({c.arg});
    EXPECT_EQ(sort_cnt, 1) << c.arg;
    expect_key(0, c.want, c.arg);
    expect_unused_defaults(1, 0, c.arg);
    EXPECT_EQ(o.first_file, 2) << c.arg;
  }
}

TEST(CommandLine, HighBitsDroppedBeforeTheRangeTest) {
  // Only the low 16 bits count: 131073 = 2 * 65536 + 1 is field 1, and
  // several keys in one command line each get their own cut values.
  parse({"+131073", "+1.131074", "+1,196611"});
  EXPECT_EQ(sort_cnt, 3);
  expect_key(0, {1, 0, 0, 4096, 0}, "+131073");
  expect_key(1, {1, 0, 2, 4096, 0}, "+1.131074");
  expect_key(2, {1, 0, 0, 3, 0}, "+1,196611");
}

TEST(CommandLine, KeysFillEntriesInCommandLineOrder) {
  parse({"+3n", "-u", "+1.2,4r", "-c", "2", "+2x"});
  EXPECT_EQ(sort_cnt, 3);
  expect_key(0, {3, 3, 0, 4096, 0}, "+3n");
  expect_key(1, {1, 0, 2, 4, 1}, "+1.2,4r");
  expect_key(2, {2, 2, 0, 4096, 0}, "+2x");
  expect_unused_defaults(3, 0, "three keys");
}

TEST(CommandLine, EveryParseStartsFromTheDefaults) {
  parse({"+1.3,4xr", "-t:", "-iv"});
  ASSERT_EQ(sort_cnt, 1);
  const Options o = parse({"-u"});
  EXPECT_EQ(sort_cnt, 0);
  expect_unused_defaults(0, 0, "after reset");
  EXPECT_EQ(field_separator, 0);
  EXPECT_EQ(ignore_case, 0);
  EXPECT_EQ(rev_flag, 0);
  EXPECT_EQ(o.uniq_flag, 1);
  EXPECT_EQ(o.join_flag, 0);
  EXPECT_EQ(o.cut_first, 0);
  EXPECT_EQ(o.cut_last, 9999);
}

TEST(CommandLine, TwoHundredFiftySixKeysFillTheTable) {
  std::vector<std::string> args;
  for (int k = 1; k <= kMaxKeys; ++k) {
    args.push_back("+" + std::to_string(k) + "." + std::to_string(k % 7) + "," +
                   std::to_string(k + 1) + (k % 2 == 0 ? "nr" : "d"));
  }
  args.push_back("file");
  const Options o = parse(args);
  EXPECT_EQ(sort_cnt, kMaxKeys);
  EXPECT_EQ(o.first_file, kMaxKeys + 1);
  for (int k = 1; k <= kMaxKeys; ++k) {
    expect_key(k - 1, {k, k % 2 == 0 ? 3 : 5, k % 7, k + 1, k % 2 == 0 ? 1 : 0}, args[k - 1]);
  }
}

struct SeparatorCase {
  std::vector<std::string> args;
  int separator;
  int rev_flag;
  int first_file;
};

TEST(CommandLine, SeparatorOption) {
  const SeparatorCase cases[] = {
      {{}, 0, 0, 1},
      {{"-t"}, 0, 0, 2},                  // nothing follows: same as no -t
      {{"-t", "x"}, 0, 0, 2},             // the next argument is a file, not the value
      {{"-t:"}, ':', 0, 2},
      {{"-t\\t"}, '\t', 0, 2},            // backslash and t: the tab
      {{"-t\\"}, '\\', 0, 2},             // a lone backslash
      {{"-t\\tx"}, '\\', 0, 2},           // backslash, t and more: the backslash
      {{"-tt"}, 't', 0, 2},
      {{"-t,;"}, ',', 0, 2},              // later bytes ignored
      {{"-tv"}, 'v', 0, 2},               // a separator, not the -v flag
      {{"-t\t"}, '\t', 0, 2},             // a real tab byte
      {{"-t\x82\xA0"}, 0x82, 0, 2},       // first byte only, even a lead byte
      {{"-t:", "-t;"}, ';', 0, 3},        // a later -t replaces the earlier
      {{"-t:", "-t"}, 0, 0, 3},
  };
  for (const SeparatorCase& c : cases) {
    const std::string label = c.args.empty() ? "(none)" : c.args[0];
    const Options o = parse(c.args);
    EXPECT_EQ(field_separator, c.separator) << label;
    EXPECT_EQ(rev_flag, c.rev_flag) << label;
    EXPECT_EQ(o.first_file, c.first_file) << label;
  }
}

struct CutCase {
  std::vector<std::string> args;
  int cut_first;
  int cut_last;
};

TEST(CommandLine, CuttingRangesThatPass) {
  const CutCase cases[] = {
      {{}, 0, 9999},
      {{"-c", "3"}, 3, 9999},
      {{"-c", "3-"}, 3, 9999},
      {{"-c", "3-3"}, 3, 3},
      {{"-c", "3-10"}, 3, 10},
      {{"-c", "10000"}, 10000, 9999},    // no '-': no comparison
      {{"-c", "+2"}, 2, 9999},
      {{"-c", " 4"}, 4, 9999},
      {{"-c", "3x"}, 3, 9999},
      {{"-c", "3-5-7"}, 3, 5},           // split at the first '-'
      {{"-c", "2- 6"}, 2, 6},
      {{"-c", " -5"}, -5, 5},            // a negative first number passes
      {{"-c", "2-3", "-c", "5"}, 5, 3},  // the second range replaces only the first number
      {{"-c", "4-6", "-c", "2-"}, 2, 6},
      {{"-c", "4-6", "-c", "1-2"}, 1, 2},
      {{"-c", "4294967299"}, 3, 9999},   // 2^32 + 3
      {{"-c", "1-4294967297"}, 1, 1},
  };
  for (const CutCase& c : cases) {
    std::string label;
    for (const std::string& a : c.args) label += a + " ";
    const Options o = parse(c.args);
    EXPECT_EQ(o.cut_first, c.cut_first) << label;
    EXPECT_EQ(o.cut_last, c.cut_last) << label;
    EXPECT_EQ(o.first_file, static_cast<int>(c.args.size()) + 1) << label;
  }
}

TEST(CommandLine, RangeArgumentIsConsumedEvenWhenItLooksLikeAKey) {
  const Options o = parse({"-c", "+2", "+3"});
  EXPECT_EQ(o.cut_first, 2);
  EXPECT_EQ(sort_cnt, 1);
  EXPECT_EQ(sort[0].no, 3);
}

struct FlagCase {
  std::vector<std::string> args;
  int join, ignore, uniq, rev;
};

TEST(CommandLine, FlagClusters) {
  const FlagCase cases[] = {
      {{}, 0, 0, 0, 0},
      {{"-"}, 0, 0, 0, 0},
      {{"-J"}, 1, 0, 0, 0},
      {{"-i"}, 0, 1, 0, 0},
      {{"-u"}, 0, 0, 1, 0},
      {{"-v"}, 0, 0, 0, 1},
      {{"-iJuv"}, 1, 1, 1, 1},
      {{"-vuJi"}, 1, 1, 1, 1},
      {{"-uuJJ"}, 1, 0, 1, 0},
      {{"-J", "-", "-i"}, 1, 1, 0, 0},
      {{"-vv"}, 0, 0, 0, 1},  // a flag, not a toggle
  };
  for (const FlagCase& c : cases) {
    std::string label;
    for (const std::string& a : c.args) label += a + " ";
    const Options o = parse(c.args);
    EXPECT_EQ(o.join_flag, c.join) << label;
    EXPECT_EQ(ignore_case, c.ignore) << label;
    EXPECT_EQ(o.uniq_flag, c.uniq) << label;
    EXPECT_EQ(rev_flag, c.rev) << label;
    EXPECT_EQ(field_separator, 0) << label;
    EXPECT_EQ(sort_cnt, 0) << label;
  }
}

TEST(CommandLine, ReversePassFlipsAllEntries) {
  // No key at all: every entry turns descending.
  parse({"-v"});
  EXPECT_EQ(rev_flag, 1);
  EXPECT_EQ(sort_cnt, 0);
  expect_unused_defaults(0, 1, "-v alone");

  // Wherever -v stands, an 'r' key becomes ascending and the others descending.
  const std::vector<std::vector<std::string>> lines = {
      {"-v", "+1r", "+2"}, {"+1r", "-v", "+2"}, {"+1r", "+2", "-v"}, {"+1r", "-iv", "+2"}};
  for (const auto& args : lines) {
    const std::string label = args[0] + " " + args[1] + " " + args[2];
    parse(args);
    EXPECT_EQ(rev_flag, 1) << label;
    EXPECT_EQ(sort_cnt, 2) << label;
    expect_key(0, {1, 0, 0, 4096, 0}, label);
    expect_key(1, {2, 0, 0, 4096, 1}, label);
    expect_unused_defaults(2, 1, label);
  }
}

TEST(CommandLine, ReversePassOverAFullTable) {
  std::vector<std::string> args;
  for (int k = 1; k <= kMaxKeys; ++k) args.push_back(k % 3 == 0 ? "+1r" : "+1");
  args.push_back("-v");
  parse(args);
  EXPECT_EQ(sort_cnt, kMaxKeys);
  for (int k = 1; k <= kMaxKeys; ++k) EXPECT_EQ(sort[k - 1].rev, k % 3 == 0 ? 0 : 1) << k;
}

struct FirstFileCase {
  std::vector<std::string> args;
  int first_file;
  int sort_cnt;
  int uniq;
};

TEST(CommandLine, FirstFileOperand) {
  const FirstFileCase cases[] = {
      {{}, 1, 0, 0},
      {{"-u"}, 2, 0, 1},                           // options only: argc
      {{"a"}, 1, 0, 0},
      {{""}, 1, 0, 0},                             // an empty argument is a file
      {{"-u", "", "+1"}, 2, 0, 1},
      {{"+1", "a", "-u", "+2"}, 2, 1, 0},          // after the first file all are files
      {{"a", "-q", "+0"}, 1, 0, 0},                // never examined, so never rejected
      {{"-c", "3", "b"}, 3, 0, 0},
      {{"-t", "-u"}, 3, 0, 1},                     // -t takes no next argument
      {{"-tx", "*", "-u"}, 2, 0, 0},
  };
  for (const FirstFileCase& c : cases) {
    std::string label;
    for (const std::string& a : c.args) label += "[" + a + "]";
    const Options o = parse(c.args);
    EXPECT_EQ(o.first_file, c.first_file) << label;
    EXPECT_EQ(sort_cnt, c.sort_cnt) << label;
    EXPECT_EQ(o.uniq_flag, c.uniq) << label;
  }
}

struct IntCase {
  const char* text;
  int value;
};

TEST(CommandLine, ParseInt) {
  const IntCase cases[] = {
      {"", 0},
      {"0", 0},
      {"12", 12},
      {"0012", 12},
      {"  12", 12},
      {"\t\n\v\f\r 7", 7},     // every white space byte
      {"+5", 5},
      {"-5", -5},
      {" -5", -5},
      {"--5", 0},              // one sign only
      {"+-5", 0},
      {"- 5", 0},              // no white space after the sign
      {"+", 0},
      {"-", 0},
      {"12abc", 12},
      {"1 2", 1},
      {"abc", 0},
      {"\x85" "5", 0},
      {"2147483647", INT_MAX},
      {"2147483648", INT_MIN},          // wraps modulo 2^32
      {"-2147483648", INT_MIN},
      {"4294967295", -1},
      {"4294967296", 0},
      {"4294967297", 1},
      {"-4294967297", -1},
      {"99999999999", 1215752191},      // 99999999999 - 23 * 2^32
      {"00000000000000000000042", 42},
  };
  for (const IntCase& c : cases) EXPECT_EQ(parse_int(c.text), c.value) << '"' << c.text << '"';
}

}  // namespace
}  // namespace qorla
