// Large generated inputs through the binary, with the option combinations
// that change what is stored, compared or printed. For every run:
// - without -u, every stored line that is not blank is printed exactly once;
// - the output is in the order of comp (called here with the same settings)
//   and lines that comp finds equal keep their input order;
// - with -u, no two neighbouring printed lines are equal, no distinct line
//   disappears, and the output is the -u filter applied to the output of
//   the same run without -u.
#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "order/compare.h"
#include "run_binary.h"

using qorla_test::run_qorla;
using qorla_test::TempDir;

namespace {

// A small fixed generator, so that every run sees the same data.
struct Random {
  std::uint64_t state;
  std::uint32_t next() {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::uint32_t>(state >> 33);
  }
  std::size_t below(std::size_t n) { return next() % n; }
  bool one_in(std::size_t n) { return below(n) == 0; }
};

// Field values: few distinct ones, so that keys tie often and the input
// order of equal lines matters.
std::string word(Random& r) {
  static const char* const kWords[] = {
      "apple", "Apple", "APPLE", "banana", "Banana", "cherry", "a\\b", "a_b", "zeta",
      "\x83\x5c\x83\x74\x83\x67",  // katakana ソフト, 0x5C as a second byte
      "\x95\x5c",                  // 表
      "\x82\xa0\x82\xa2",          // hiragana
      "\xb1\xb2\xb3",              // half-width katakana
      "Z\x83\x41", "z\x83\x61",
  };
  return kWords[r.below(sizeof kWords / sizeof kWords[0])];
}

std::string integer(Random& r) {
  std::string s = std::to_string(static_cast<int>(r.below(200)) - 50);
  if (r.one_in(20)) s = "16777217";
  if (r.one_in(20)) s = "16777216";
  return s;
}

std::string decimal(Random& r) {
  static const char* const kSpecial[] = {"1e39", "-1e39", "+INF", "-INF", "3.4e38", "0.1", "0.10000000149",
                                         "abc", "-0", ".5", "5.", "1,5"};
  if (r.one_in(8)) return kSpecial[r.below(sizeof kSpecial / sizeof kSpecial[0])];
  return std::to_string(r.below(100)) + "." + std::to_string(r.below(100));
}

std::string date(Random& r) {
  switch (r.below(6)) {
    case 0: return std::to_string(r.below(13)) + "/" + std::to_string(1 + r.below(31));
    case 1: return "bad";
    case 2: return std::to_string(r.below(100)) + "/" + std::to_string(1 + r.below(12)) + "/" +
                   std::to_string(1 + r.below(31));
    default: {
      char s[16];
      std::snprintf(s, sizeof s, "%04u/%02u/%02u", static_cast<unsigned>(1990 + r.below(40)),
                    static_cast<unsigned>(1 + r.below(12)), static_cast<unsigned>(1 + r.below(31)));
      return s;
    }
  }
}

std::string time_of_day(Random& r) {
  if (r.one_in(10)) return "-" + std::to_string(r.below(3)) + ":30";
  return std::to_string(r.below(30)) + ":" + std::to_string(r.below(60)) + ":" + std::to_string(r.below(60));
}

std::string hexadecimal(Random& r) {
  static const char* const kSpecial[] = {"7FFFFFFF", "80000000", "-7FFFFFFF", "0x1F", "1f", "zz", "-0"};
  if (r.one_in(6)) return kSpecial[r.below(sizeof kSpecial / sizeof kSpecial[0])];
  char s[16];
  std::snprintf(s, sizeof s, r.one_in(2) ? "%x" : "%X", r.next() % 4096);
  return s;
}

// One record of up to six fields: word, integer, decimal, date, time, hex.
std::vector<std::string> fields(Random& r) {
  std::vector<std::string> f = {word(r), integer(r), decimal(r), date(r), time_of_day(r), hexadecimal(r)};
  if (r.one_in(10)) f.resize(r.below(6));  // short lines lack some keys
  return f;
}

std::string joined(const std::vector<std::string>& f, const std::string& separator) {
  std::string s;
  for (std::size_t i = 0; i < f.size(); ++i) s += (i ? separator : "") + f[i];
  return s;
}

// What the input files hold, and the lines the program stores from them, in
// input order (files in command-line order).
struct Input {
  std::vector<std::string> files;
  std::vector<std::string> stored;
};

enum class Shape { kFields, kJoined, kCut2to4 };

// Lines of blank-separated fields (or -t separated), with blank lines,
// leading blanks and repeats of earlier lines mixed in. kJoined adds -J
// continuation pieces; kCut2to4 records what -c 2-4 keeps.
Input generate(std::uint64_t seed, std::size_t lines, int files, const std::string& separator, Shape shape) {
  Random r{seed};
  Input in;
  in.files.resize(static_cast<std::size_t>(files));
  std::vector<std::string> earlier;  // whole file lines, for repeats
  std::vector<std::string> earlier_stored;
  for (std::size_t i = 0; i < lines; ++i) {
    std::string text, stored;
    if (!earlier.empty() && r.one_in(5)) {
      const std::size_t k = r.below(earlier.size());
      text = earlier[k];
      stored = earlier_stored[k];
    } else if (r.one_in(40)) {
      text = r.one_in(2) ? "\n" : " \t \n";
      stored = shape == Shape::kCut2to4 ? "" : text;
    } else {
      const std::vector<std::string> f = fields(r);
      const std::string lead = r.one_in(15) ? "  " : "";
      text = lead + joined(f, separator) + "\n";
      if (shape == Shape::kJoined && r.one_in(4)) {
        // Continuation pieces: each ends in a blank-free backslash.
        const std::size_t pieces = 1 + r.below(3);
        std::string head;
        for (std::size_t p = 0; p < pieces; ++p) head += word(r) + separator + integer(r) + "\\\n";
        text = head + text;
      }
      if (shape == Shape::kCut2to4) {
        const std::vector<std::string> kept(f.begin() + (f.size() >= 2 ? 1 : f.size()),
                                            f.begin() + std::min<std::size_t>(f.size(), 4));
        stored = kept.empty() ? "" : joined(kept, separator) + "\n";
      } else {
        stored = text;
      }
      earlier.push_back(text);
      earlier_stored.push_back(stored);
    }
    // Lines go to the files in turn, so that the stored order is known.
    in.files[i * static_cast<std::size_t>(files) / lines] += text;
    in.stored.push_back(stored);
  }
  return in;
}

bool is_blank(const std::string& line) {
  const std::size_t i = line.find_first_not_of(" \t");
  return i != std::string::npos && line[i] == '\n';
}

// How a stored line appears in the output: with a line feed added when it
// has none (only the empty string here, since every generated line ends in
// one).
std::string printed(const std::string& stored) { return stored.empty() ? "\n" : stored; }

bool is_lead_byte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// The output split back into printed stored lines. A line feed ends a line
// unless, in joined lines, the character before it is a backslash (not the
// second byte of a double-byte character).
std::vector<std::string> split_output(const std::string& out, bool joined_lines) {
  std::vector<std::string> lines;
  std::string current;
  bool after_backslash = false;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto b = static_cast<unsigned char>(out[i]);
    current += out[i];
    if (b == '\n' && !(joined_lines && after_backslash)) {
      lines.push_back(current);
      current.clear();
      after_backslash = false;
    } else if (is_lead_byte(b) && i + 1 < out.size()) {
      current += out[++i];
      after_backslash = false;
    } else {
      after_backslash = b == '\\';
    }
  }
  EXPECT_EQ(current, "") << "output does not end in a line feed";
  return lines;
}

// Sets the process-wide settings as the command line does, so that comp
// here orders lines as the binary does.
void apply_settings(const std::vector<std::string>& options) {
  std::vector<std::string> args = {"qorla"};
  args.insert(args.end(), options.begin(), options.end());
  args.push_back("file");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  qorla::parse_command_line(static_cast<int>(args.size()), argv.data());
}

struct Case {
  const char* name;
  std::vector<std::string> options;  // without -u
  bool uniq;
  std::uint64_t seed;
  std::size_t lines;
  int files;
  std::string separator;
  Shape shape;
};

// Test listings show the case by its name.
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

// Runs the case and checks the output without -u; returns the output
// split into lines.
std::vector<std::string> check_complete_output(const Case& c, const Input& in, const std::vector<std::string>& paths) {
  std::vector<std::string> args = c.options;
  args.insert(args.end(), paths.begin(), paths.end());
  const auto r = run_qorla(args);
  EXPECT_EQ(r.status, 0) << c.name;
  EXPECT_TRUE(r.err.empty() || r.err == "floating data error\n") << c.name << ": " << r.err;
  const std::vector<std::string> out = split_output(r.out, c.shape == Shape::kJoined);

  // Nothing lost, nothing doubled: the printed lines are the stored lines
  // that are not blank, as a multiset.
  std::vector<std::string> expected;
  for (const std::string& s : in.stored) {
    if (!is_blank(s)) expected.push_back(printed(s));
  }
  std::vector<std::string> got = out;
  std::sort(expected.begin(), expected.end());
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got.size(), expected.size()) << c.name;
  EXPECT_TRUE(got == expected) << c.name << ": printed lines differ from the stored lines";

  // Order: every printed line is at or after its predecessor by comp, and
  // equal neighbours come in input order. Byte-identical lines cannot be
  // told apart, so each gets the earliest input position not yet used.
  std::map<std::string, std::vector<std::size_t>> positions;
  std::map<std::string, std::string> stored_of;
  for (std::size_t i = in.stored.size(); i-- > 0;) {
    if (is_blank(in.stored[i])) continue;
    positions[printed(in.stored[i])].push_back(i);  // reversed: pop_back gives the earliest
    stored_of[printed(in.stored[i])] = in.stored[i];
  }
  apply_settings(c.options);
  std::size_t order_faults = 0, stability_faults = 0;
  std::size_t previous_position = 0;
  for (std::size_t i = 0; i < out.size(); ++i) {
    auto& p = positions[out[i]];
    if (p.empty()) continue;  // reported by the multiset check
    const std::size_t position = p.back();
    p.pop_back();
    if (i > 0) {
      const int r = qorla::comp(stored_of[out[i - 1]].c_str(), stored_of[out[i]].c_str());
      if (r > 0 && ++order_faults <= 3) ADD_FAILURE() << c.name << ": out of order at line " << i;
      if (r == 0 && previous_position > position && ++stability_faults <= 3) {
        ADD_FAILURE() << c.name << ": equal lines out of input order at line " << i;
      }
    }
    previous_position = position;
  }
  EXPECT_EQ(order_faults, 0u) << c.name;
  EXPECT_EQ(stability_faults, 0u) << c.name;
  return out;
}

class Invariants : public ::testing::TestWithParam<Case> {};

TEST_P(Invariants, NothingLostInOrderStable) {
  const Case& c = GetParam();
  const Input in = generate(c.seed, c.lines, c.files, c.separator, c.shape);
  TempDir dir;
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < in.files.size(); ++i) paths.push_back(dir.write("in" + std::to_string(i), in.files[i]));
  const std::vector<std::string> complete = check_complete_output(c, in, paths);
  if (!c.uniq) return;

  std::vector<std::string> args = c.options;
  args.push_back("-u");
  args.insert(args.end(), paths.begin(), paths.end());
  const auto r = run_qorla(args);
  ASSERT_EQ(r.status, 0) << c.name;
  const std::vector<std::string> out = split_output(r.out, c.shape == Shape::kJoined);
  std::size_t neighbours_equal = 0;
  for (std::size_t i = 1; i < out.size(); ++i) neighbours_equal += out[i] == out[i - 1];
  EXPECT_EQ(neighbours_equal, 0u) << c.name;
  // Every distinct line is still there. The one exception is the empty
  // string that -c leaves of a short line: it is dropped for as long as no
  // line has been printed before it.
  std::set<std::string> distinct(complete.begin(), complete.end());
  if (c.shape == Shape::kCut2to4) distinct.erase("\n");
  std::set<std::string> printed_set(out.begin(), out.end());
  printed_set.erase(c.shape == Shape::kCut2to4 ? "\n" : "");
  EXPECT_TRUE(printed_set == distinct) << c.name << ": a distinct line disappeared under -u";
  // The same order, with each line equal to the last printed one dropped
  // (the last printed line starts as the empty string, which drops an
  // empty line cut by -c at the very start).
  std::vector<std::string> expected;
  std::string last_printed_stored;
  for (const std::string& line : complete) {
    const std::string stored = line == "\n" && c.shape == Shape::kCut2to4 ? "" : line;
    if (stored == last_printed_stored) continue;
    last_printed_stored = stored;
    expected.push_back(line);
  }
  EXPECT_TRUE(out == expected) << c.name << ": -u output is not the filtered complete output";
}

// About 330 000 generated lines in all; the -u cases run twice.
INSTANTIATE_TEST_SUITE_P(
    GeneratedInput, Invariants,
    ::testing::Values(
        Case{"whole_lines", {}, true, 1, 60000, 3, " ", Shape::kFields},
        Case{"ignore_case", {"-i"}, true, 2, 40000, 2, " ", Shape::kFields},
        Case{"reversed", {"-v"}, false, 3, 30000, 1, " ", Shape::kFields},
        Case{"text_numeric_date_keys", {"+2n", "+1r", "+4d"}, true, 4, 60000, 2, " ", Shape::kFields},
        Case{"separator_time_hex_keys", {"-t,", "+5t", "+6xr", "+3n"}, true, 5, 40000, 2, ",", Shape::kFields},
        Case{"reversed_case_keys", {"-i", "-v", "+1", "+2.1,3", "+3nr"}, false, 6, 30000, 1, " ", Shape::kFields},
        Case{"joined", {"-J", "+2n"}, true, 7, 30000, 2, " ", Shape::kJoined},
        Case{"cut", {"-c", "2-4", "+1n", "+3"}, true, 8, 40000, 2, " ", Shape::kCut2to4}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
