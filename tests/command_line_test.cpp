// The command line through the built binary: help, usage, version, every
// rejected argument with its exact message, and runs without files.
#include <gtest/gtest.h>

#include <locale.h>
#include <string>
#include <vector>

#include "cli/usage_text.h"
#include "e2e_checks.h"
#include "run_binary.h"

using qorla_test::RunResult;
using qorla_test::run_qorla;
using qorla_test::TempDir;

namespace {

const char kUsageLine[] = "Usage: qorla [-iJuv] [-t<C>] [-c <n1>[-<n2>]] [+<field>]... <files>";

std::string describe(const std::vector<std::string>& args) {
  std::string s;
  for (const std::string& a : args) s += "[" + a + "]";
  return s;
}

// A rejected command line: the message alone on stderr, nothing on stdout,
// status 1.
void expect_rejected(const std::vector<std::string>& args, const std::string& err) {
  const RunResult r = run_qorla(args);
  EXPECT_EQ(r.err, err) << describe(args);
  EXPECT_EQ(r.out, "") << describe(args);
  EXPECT_EQ(r.status, 1) << describe(args);
}

TEST(CommandLineE2E, BareInvocationWritesTheUsageLine) {
  const RunResult r = run_qorla({});
  EXPECT_EQ(r.err, std::string(kUsageLine) + "\n");
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.status, 1);
}

TEST(CommandLineE2E, UsageAloneWritesTheHelp) {
  const RunResult r = run_qorla({"-usage"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t nl; (nl = r.out.find('\n', start)) != std::string::npos; start = nl + 1) {
    lines.push_back(r.out.substr(start, nl - start));
  }
  EXPECT_EQ(start, r.out.size()) << "output ends in a line feed";
  ASSERT_EQ(lines.size(), 42u);
  EXPECT_EQ(lines[0].substr(0, 2), "\x83\x74");
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2], kUsageLine);
  EXPECT_EQ(lines[3], "");
  for (int n : {11, 15, 19, 39, 41}) EXPECT_EQ(lines[n - 1], " ") << "line " << n;
  EXPECT_EQ(lines[41], "Version: 1.41");
  // Every line exactly as stored, each followed by one line feed.
  std::string expected;
  for (int i = 0; qorla::usage_text[i] != nullptr; ++i) expected += std::string(qorla::usage_text[i]) + "\n";
  EXPECT_EQ(r.out, expected);
}

TEST(CommandLineE2E, HelpAndVersionOnlyAsTheOnlyArgument) {
  const std::string help = run_qorla({"-usage"}).out;
  ASSERT_FALSE(help.empty());
  const struct {
    std::vector<std::string> args;
    std::string out;
    std::string err;
    int status;
  } cases[] = {
      // Through a pipe the help is byte for byte what -usage writes.
      {{"--help"}, help, "", 0},
      {{"--version"}, "qorla 1.41\nLicense: MIT\n", "", 0},
      // Anywhere else a flag cluster, like every argument that begins with '-'.
      {{"--help", "file"}, "", "--help: bad option", 1},
      {{"-u", "--version"}, "", "--version: bad option", 1},
      {{"--version", "--help"}, "", "--version: bad option", 1},
      {{"--x"}, "", "--x: bad option", 1},
      {{"--helpx"}, "", "--helpx: bad option", 1},
      {{"--HELP"}, "", "--HELP: bad option", 1},
      {{"--version="}, "", "--version=: bad option", 1},
  };
  for (const auto& c : cases) {
    const RunResult r = run_qorla(c.args);
    EXPECT_TRUE(r.out == c.out) << describe(c.args);
    EXPECT_EQ(r.err, c.err) << describe(c.args);
    EXPECT_EQ(r.status, c.status) << describe(c.args);
  }
}

// On a terminal the help comes out in the locale's character set: UTF-8
// is the text of usage_text.txt; with an ASCII locale, and through a pipe
// whatever the locale, the stored bytes. script(1) (package bsdutils) gives
// the command a pseudo-terminal.
TEST(CommandLineE2E, HelpInTheLocaleCharacterSetOnlyOnATerminal) {
  if (locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr)) {
    ::freelocale(utf8);
  } else {
    GTEST_SKIP() << "the C.UTF-8 locale is not installed: the help on a UTF-8 terminal is not checked";
  }
  const std::string utf8_text = qorla_test::read_file(QORLA_SOURCE_DIR "/src/cli/usage_text.txt");
  const std::string cp932_text = run_qorla({"-usage"}).out;
  const struct {
    const char* lang;
    const char* arg;
    bool terminal;
    const std::string& expected;
  } cases[] = {
      {"C.UTF-8", "--help", true, utf8_text},
      {"C.UTF-8", "-usage", true, utf8_text},
      {"C", "--help", true, cp932_text},
      {"C.UTF-8", "--help", false, cp932_text},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.lang) + " " + c.arg + (c.terminal ? " on a terminal" : " through a pipe"));
    std::vector<std::string> args = {"env", "-u", "LC_ALL", "-u", "LC_CTYPE", std::string("LANG=") + c.lang};
    if (c.terminal) {
      args.insert(args.end(), {"script", "-qec", "'" QORLA_BINARY "' " + std::string(c.arg), "/dev/null"});
    } else {
      args.insert(args.end(), {QORLA_BINARY, c.arg});
    }
    const RunResult r = qorla_test::run_program(args);
    ASSERT_NE(r.status, 127) << "script (Debian package bsdutils) is needed";
    // The terminal writes each line feed as CR LF.
    std::string out;
    for (std::size_t i = 0; i < r.out.size(); ++i) {
      if (!(c.terminal && r.out[i] == '\r' && i + 1 < r.out.size() && r.out[i + 1] == '\n')) out += r.out[i];
    }
    EXPECT_TRUE(out == c.expected) << qorla_test::excerpt(out);
    EXPECT_EQ(r.status, 0) << r.err;
  }
}

TEST(CommandLineE2E, UsageWithAnotherArgumentIsAFlagCluster) {
  // 'u' is a flag, 's' is not: the cluster message has no line feed.
  expect_rejected({"-usage", "file"}, "-usage: bad option");
  expect_rejected({"-usage", "-usage"}, "-usage: bad option");
  expect_rejected({"-u", "-usage"}, "-usage: bad option");
  expect_rejected({"-usagex"}, "-usagex: bad option");
}

TEST(CommandLineE2E, RejectedFlagClusters) {
  for (const char* arg : {"-j", "-I", "-U", "-V", "-c3", "-cx", "-x", "-Jx", "-iJuvq", "--", "-T",
                          "-\x82\xA0", "-u ", "-1"}) {
    expect_rejected({arg}, std::string(arg) + ": bad option");
  }
}

struct Rejection {
  const char* message;  // the format, %s replaced by the argument
  std::vector<std::string> args;
};

std::string format(const char* message, const std::string& arg) {
  std::string m = message;
  m.replace(m.find("%s"), 2, arg);
  return m;
}

TEST(CommandLineE2E, RejectedKeySpecifications) {
  const Rejection table[] = {
      {"%s: bad field number\n",
       {"+0", "+", "+x", "+-1", "++1", "+.3", "+,3", "+32768", "+ 1", "+98305", "+65536", "+00",
        "+4294967296", "+r"}},
      {"%s: bad option\n", {"+1N", "+1q", "+1nR", "+1e3", "+1.2,3a", "+1S", "+2.3Z"}},
      {"%s: bad position\n", {"+1.-1", "+1.40000", "+1.32768", "+1.65535", "+1n.-3"}},
      {"%s: bad length\n", {"+1,0", "+1,-2", "+1,x", "+1,65536", "+1,32768", "+1.2,0"}},
      // Bytes that no rule of the scan takes.
      {"%s: bad field description\n",
       {"+1 n", "+1n2", "+1-", "+1+", "+1\x82", "+1\x82\xA0", "+1\xA0", "+1 ", "+1n ", "+1;",
        "+1.2-", "+1,3+", "+1,3 ", "+1r/", "+1\t", "+1.2.3x-"}},
  };
  for (const Rejection& row : table) {
    for (const std::string& arg : row.args) expect_rejected({arg}, format(row.message, arg));
  }
}

TEST(CommandLineE2E, CuttingErrors) {
  expect_rejected({"-c"}, "cutting field number missing\n");
  expect_rejected({"-u", "-c"}, "cutting field number missing\n");
  expect_rejected({"-c", "-u"}, "cutting field number missing\n");
  expect_rejected({"-c", "-3"}, "cutting field number missing\n");
  expect_rejected({"-c", "-"}, "cutting field number missing\n");
  const Rejection table[] = {
      {"%s: bad cutting description\n", {"0-3", "0", "x", "", "+", "+0", " 0-9", "4294967296"}},
      {"%s; bad cutting description\n", {"5-3", "3-x", "10000-", "3-0", "2-1", "1- -1", "3-+2"}},
  };
  for (const Rejection& row : table) {
    for (const std::string& range : row.args) {
      expect_rejected({"-c", range}, format(row.message, range));
    }
  }
  // The second number kept from an earlier -c takes part in the comparison.
  expect_rejected({"-c", "4-6", "-c", "7-"}, "7-; bad cutting description\n");
  expect_rejected({"-c", "4-6", "-c", "7-x"}, "7-x; bad cutting description\n");
}

TEST(CommandLineE2E, TwoHundredFiftySeventhKeyIsRejected) {
  std::vector<std::string> args(256, "+1");
  const RunResult full = run_qorla(args);
  EXPECT_EQ(full.err, "");
  EXPECT_EQ(full.out, "");
  EXPECT_EQ(full.status, 0);

  args.push_back("+2n");
  expect_rejected(args, "+2n: bad field description\n");
  args.back() = "+0";
  expect_rejected(args, "+0: bad field description\n");
  args.back() = "-u";
  args.push_back("+3");
  expect_rejected(args, "+3: bad field description\n");
}

TEST(CommandLineE2E, OnlyTheFirstErrorIsReported) {
  expect_rejected({"+0", "+1q"}, "+0: bad field number\n");
  expect_rejected({"-q", "+0"}, "-q: bad option");
  expect_rejected({"+1", "-u", "+1.-1", "-c"}, "+1.-1: bad position\n");
  expect_rejected({"-c", "5-3", "-x"}, "5-3; bad cutting description\n");
  expect_rejected({"-t", "-y"}, "-y: bad option");  // -t takes no value argument
}

TEST(CommandLineE2E, OptionsWithoutFilesDoNothing) {
  const std::vector<std::vector<std::string>> lines = {
      {"-u"},
      {"-"},
      {"-t"},
      {"-t\\t", "-tv"},
      {"-iJuv", "-t,", "-c", "2-3", "+1n", "+2.1,3r", "+65537"},
      {"-c", "10000"},
      {"-c", "+2", "+3"},
      {"-c", "2-3", "-c", "5"},
      {"+1.x", "+1.+3", "+1.,3", "-v"},
  };
  for (const auto& args : lines) {
    const RunResult r = run_qorla(args);
    EXPECT_EQ(r.out, "") << describe(args);
    EXPECT_EQ(r.err, "") << describe(args);
    EXPECT_EQ(r.status, 0) << describe(args);
  }
}

TEST(CommandLineE2E, AnErrorStopsBeforeAnyFileIsRead) {
  TempDir dir;
  const std::string file = dir.write("data.txt", "b\na\n");
  const std::string missing = dir.path + "/missing.txt";
  expect_rejected({"-q", missing}, "-q: bad option");
  expect_rejected({"+0", missing, file}, "+0: bad field number\n");
  expect_rejected({"-c", "0", file, missing}, "0: bad cutting description\n");
  expect_rejected({"-c", "5-3", file}, "5-3; bad cutting description\n");
  expect_rejected({"+1 n", file}, "+1 n: bad field description\n");
  expect_rejected({"-c", missing}, missing + ": bad cutting description\n");
}

TEST(CommandLineE2E, ArgumentsAfterTheFirstFileAreFiles) {
  TempDir dir;
  const std::string file = dir.write("data.txt", "b\na\n");
  const RunResult r = run_qorla({file, "-u", "+0", "-c"});
  EXPECT_EQ(r.out, "a\nb\n");
  EXPECT_EQ(r.err, "-u: not found\n+0: not found\n-c: not found\n");
  EXPECT_EQ(r.status, 0);

  // An empty argument ends the options and is itself a file name.
  const RunResult e = run_qorla({"-u", "", "-q", file});
  EXPECT_EQ(e.out, "a\nb\n");
  EXPECT_EQ(e.err, ": not found\n-q: not found\n");
  EXPECT_EQ(e.status, 0);

  // -t takes no value: the argument after it is the first file.
  const RunResult t = run_qorla({"-t", file});
  EXPECT_EQ(t.out, "a\nb\n");
  EXPECT_EQ(t.err, "");
  EXPECT_EQ(t.status, 0);
}

}  // namespace
