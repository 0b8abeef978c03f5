// The documentation and the installation against the command: every
// example of the README and of the manual pages gives exactly the output
// shown, the manuals render without a warning and name every message, the
// Debian package installs a working command with its documentation and
// passes lintian, and the bash completion offers what it should.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iconv.h>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "e2e_checks.h"
#include "run_binary.h"

#ifndef QORLA_BUILD_DIR
#define QORLA_BUILD_DIR ""
#endif
#ifndef QORLA_CPACK
#define QORLA_CPACK "cpack"
#endif

namespace fs = std::filesystem;
using qorla_test::read_file;
using qorla_test::run_program;
using qorla_test::run_qorla;
using qorla_test::RunResult;
using qorla_test::TempDir;

namespace {

const std::string kSourceDir = QORLA_SOURCE_DIR;
const std::string kExamplesDir = kSourceDir + "/examples";
const std::string kManual = kSourceDir + "/docs/qorla.1";
const std::string kManualJa = kSourceDir + "/docs/qorla.ja.1";

// ---------------------------------------------------------------------------
// Other programs (groff, cpack, dpkg-deb, the installed qorla) run through
// run_program; find_in_path tells whether one is installed.

std::string find_in_path(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

// Converts between character sets with the C library's iconv.
std::string convert(const std::string& text, const char* from, const char* to) {
  iconv_t cd = ::iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    ADD_FAILURE() << "no conversion from " << from << " to " << to;
    return "";
  }
  std::string in = text;
  std::string out(text.size() * 4 + 16, '\0');
  char* in_ptr = in.data();
  std::size_t in_left = in.size();
  char* out_ptr = out.data();
  std::size_t out_left = out.size();
  const std::size_t done = ::iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
  ::iconv_close(cd);
  EXPECT_NE(done, static_cast<std::size_t>(-1)) << "text not convertible from " << from;
  out.resize(out.size() - out_left);
  return out;
}

// ---------------------------------------------------------------------------
// The documented examples. Arguments are as run from the examples
// directory; the README runs the same commands from the source directory
// with an "examples/" before each file name.

struct Example {
  std::vector<std::string> args;
  std::string expected_out;  // file under examples/expected
  std::string expected_err;
};

const std::vector<Example>& examples() {
  static const std::vector<Example> table = {
      {{"+2n", "prices.txt"}, "prices-by-price.out", ""},
      {{"+2nr", "prices.txt"}, "prices-by-price-desc.out", ""},
      {{"-c", "2", "+1n", "prices.txt"}, "prices-cut-price.out", ""},
      {{"+1d", "+2t", "log.txt"}, "log-by-date-time.out", ""},
      {{"-v", "+1d", "+2t", "log.txt"}, "log-newest-first.out", ""},
      {{"-t,", "+3n", "sales.csv"}, "sales-by-amount.out", ""},
      {{"-t,", "-c", "2-3", "+1", "+2nr", "sales.csv"}, "sales-item-amount.out", ""},
      {{"-J", "settings.txt"}, "settings-joined.out", ""},
      {{"settings.txt"}, "settings-unjoined.out", ""},
      {{"names.txt"}, "names-bytes.out", ""},
      {{"-iu", "names.txt"}, "names-fold-unique.out", ""},
      {{"+1n", "numbers.txt"}, "numbers-by-value.out", "floating data error\n"},
      {{"+1x", "ids.txt"}, "ids-by-hex.out", ""},
  };
  return table;
}

std::string expected_path(const Example& e) { return kExamplesDir + "/expected/" + e.expected_out; }

std::string join_args(const std::vector<std::string>& args) {
  std::string s;
  for (const std::string& a : args) s += (s.empty() ? "" : " ") + a;
  return s;
}

TEST(DocumentedExamples, EachGivesItsExpectedOutput) {
  for (const Example& e : examples()) {
    SCOPED_TRACE("qorla " + join_args(e.args));
    const RunResult r = run_qorla(e.args, {.dir = kExamplesDir});
    EXPECT_EQ(r.out, read_file(expected_path(e)));
    EXPECT_EQ(r.err, e.expected_err);
    EXPECT_EQ(r.status, 0);
  }
}

TEST(DocumentedExamples, EveryExpectedFileBelongsToAnExample) {
  std::set<std::string> listed;
  for (const Example& e : examples()) listed.insert(e.expected_out);
  int files = 0;
  for (const auto& entry : fs::directory_iterator(kExamplesDir + "/expected")) {
    ++files;
    EXPECT_TRUE(listed.count(entry.path().filename().string()) == 1)
        << entry.path() << " is not the output of any documented example";
  }
  EXPECT_EQ(files, static_cast<int>(listed.size()));
}

// A command line as written in the documentation: qorla, its arguments,
// and optionally "2>&1" and a pipe through iconv from code page 932.
struct ShownCommand {
  std::string line;
  std::vector<std::string> args;
  bool merge_stderr = false;
  bool through_iconv = false;
  std::string shown;  // the output printed under the command
};

// Splits a command line into words; single and double quotes group.
std::vector<std::string> split_words(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  char quote = 0;
  for (char c : line) {
    if (quote != 0) {
      if (c == quote) {
        quote = 0;
      } else {
        word += c;
      }
    } else if (c == '\'' || c == '"') {
      quote = c;
      in_word = true;
    } else if (c == ' ') {
      if (in_word) words.push_back(word);
      word.clear();
      in_word = false;
    } else {
      word += c;
      in_word = true;
    }
  }
  if (in_word) words.push_back(word);
  return words;
}

bool parse_command(const std::string& line, ShownCommand& cmd) {
  cmd.line = line;
  std::vector<std::string> words = split_words(line);
  const std::vector<std::string> iconv_tail = {"|", "iconv", "-f", "CP932", "-t", "UTF-8"};
  if (words.size() >= iconv_tail.size() &&
      std::equal(iconv_tail.begin(), iconv_tail.end(), words.end() - static_cast<long>(iconv_tail.size()))) {
    cmd.through_iconv = true;
    words.resize(words.size() - iconv_tail.size());
  }
  if (!words.empty() && words.back() == "2>&1") {
    cmd.merge_stderr = true;
    words.pop_back();
  }
  if (words.empty() || words.front() != "qorla") return false;
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::string& w = words[i];
    if (w == "|" || w.find('>') != std::string::npos || w.find('<') != std::string::npos) return false;
    cmd.args.push_back(w);
  }
  return true;
}

// Reads "$ command" lines and the output lines under them from a block.
void collect_commands(const std::vector<std::string>& block, const std::string& where,
                      std::vector<ShownCommand>& commands) {
  ShownCommand* current = nullptr;
  for (const std::string& line : block) {
    if (line.rfind("$ ", 0) == 0) {
      ShownCommand cmd;
      if (!parse_command(line.substr(2), cmd)) {
        ADD_FAILURE() << where << ": example command not understood by this test: " << line;
        current = nullptr;
        continue;
      }
      commands.push_back(cmd);
      current = &commands.back();
    } else if (current != nullptr) {
      current->shown += line + "\n";
    } else {
      ADD_FAILURE() << where << ": output line before any command: " << line;
    }
  }
}

// The commands of the blocks of a document that open with the line open
// and close with the line close; unescape turns each line of a block back
// into the text it shows.
std::vector<ShownCommand> commands_in_blocks(const std::string& path, const std::string& where,
                                             const std::string& open, const std::string& close,
                                             std::string (*unescape)(const std::string&)) {
  std::istringstream text(read_file(path));
  std::vector<ShownCommand> commands;
  std::string line;
  bool in_block = false;
  std::vector<std::string> block;
  while (std::getline(text, line)) {
    if (!in_block && line == open) {
      in_block = true;
      block.clear();
    } else if (in_block && line == close) {
      in_block = false;
      collect_commands(block, where, commands);
    } else if (in_block) {
      block.push_back(unescape(line));
    }
  }
  EXPECT_FALSE(in_block) << where << ": a block opened by " << open << " is not closed";
  return commands;
}

// README examples: fenced blocks that open with ```console.
std::vector<ShownCommand> readme_commands() {
  return commands_in_blocks(kSourceDir + "/README.md", "README.md", "```console", "```",
                            [](const std::string& line) { return line; });
}

// The manual's examples: .EX ... .EE blocks, with the roff escapes that
// the page uses turned back into plain characters.
std::string unescape_roff(const std::string& line) {
  std::string out;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] != '\\') {
      out += line[i];
      continue;
    }
    if (line.compare(i, 2, "\\-") == 0) {
      out += '-';
      i += 1;
    } else if (line.compare(i, 2, "\\e") == 0) {
      out += '\\';
      i += 1;
    } else if (line.compare(i, 2, "\\&") == 0) {
      i += 1;
    } else if (line.compare(i, 4, "\\(aq") == 0) {
      out += '\'';
      i += 3;
    } else {
      ADD_FAILURE() << "qorla.1: escape not understood by this test in: " << line;
      out += line[i];
    }
  }
  return out;
}

std::vector<ShownCommand> manual_commands(const std::string& page) {
  return commands_in_blocks(page, fs::path(page).filename().string(), ".EX", ".EE", unescape_roff);
}

const Example* find_example(const std::vector<std::string>& args, const std::string& file_prefix) {
  for (const Example& e : examples()) {
    if (e.args.size() != args.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < args.size() && same; ++i) {
      const std::string& doc = args[i];
      const bool is_file = i + 1 == args.size();
      same = is_file ? doc == file_prefix + e.args[i] : doc == e.args[i];
    }
    if (same) return &e;
  }
  return nullptr;
}

// Each shown command must be one of the examples with an expected output,
// show exactly that output, and give it when run.
void check_shown(const std::vector<ShownCommand>& commands, const std::string& dir,
                 const std::string& file_prefix) {
  for (const ShownCommand& cmd : commands) {
    SCOPED_TRACE(cmd.line);
    const Example* e = find_example(cmd.args, file_prefix);
    if (e == nullptr) {
      ADD_FAILURE() << "this example has no expected output under examples/expected";
      continue;
    }
    std::string documented = read_file(expected_path(*e));
    if (cmd.merge_stderr) {
      documented = e->expected_err + documented;
    } else {
      EXPECT_EQ(e->expected_err, "") << "the example writes to standard error: show it with 2>&1";
    }
    if (cmd.through_iconv) documented = convert(documented, "CP932", "UTF-8");
    EXPECT_EQ(cmd.shown, documented);

    const RunResult r = run_qorla(cmd.args, {.dir = dir});
    std::string got = cmd.merge_stderr ? r.err + r.out : r.out;
    if (cmd.through_iconv) got = convert(got, "CP932", "UTF-8");
    EXPECT_EQ(got, cmd.shown);
    EXPECT_EQ(r.status, 0);
  }
}

TEST(DocumentedExamples, ReadmeShowsWhatTheCommandWrites) {
  const std::vector<ShownCommand> commands = readme_commands();
  // The tour: prices, log lines, CSV, joined lines, Shift-JIS names.
  EXPECT_GE(commands.size(), 8u) << "README.md lost its ```console examples";
  check_shown(commands, kSourceDir, "examples/");
}

TEST(DocumentedExamples, ManualsShowWhatTheCommandWrites) {
  for (const std::string& page : {kManual, kManualJa}) {
    SCOPED_TRACE(page);
    const std::vector<ShownCommand> commands = manual_commands(page);
    EXPECT_GE(commands.size(), 5u) << "the manual lost its examples";
    check_shown(commands, kExamplesDir, "");
  }
}

// The README's test command is what CI runs, so that it stays true.
TEST(DocumentedExamples, CiRunsTheReadmeTestCommand) {
  const std::string readme = read_file(kSourceDir + "/README.md");
  const std::string lead = "Build it and run every test:\n\n    ";
  const std::size_t at = readme.find(lead);
  ASSERT_NE(at, std::string::npos) << "README.md lost its test command";
  const std::size_t start = at + lead.size();
  const std::string command = readme.substr(start, readme.find('\n', start) - start);
  EXPECT_NE(read_file(kSourceDir + "/.ci/run").find("\n" + command + " "), std::string::npos) << command;
}

// ---------------------------------------------------------------------------
// The manual pages.

std::string groff_program() {
  const std::string groff = find_in_path("groff");
  EXPECT_FALSE(groff.empty()) << "groff is needed to check the manual (Debian package groff-base)";
  return groff;
}

struct ManualPage {
  std::string path;
  std::vector<std::string> device;    // groff options for the output device; none: the default
  std::vector<const char*> sections;  // in order
};

// The Japanese page renders on the UTF-8 device (the default PostScript one
// has no Japanese glyphs) with ja.tmac, the Japanese line breaking that man
// loads for pages under man/ja.
const std::vector<ManualPage>& manual_pages() {
  static const std::vector<ManualPage> pages = {
      {kManual,
       {},
       {"NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "ENCODING", "ENVIRONMENT", "BEHAVIOUR ON LINUX",
        "EXIT STATUS", "DIAGNOSTICS", "EXAMPLES", "COPYRIGHT", "SEE ALSO"}},
      {kManualJa,
       {"-Kutf8", "-Tutf8", "-mja"},
       {"名前", "書式", "説明", "オプション", "文字コード", "環境変数", "Linux での動作", "終了ステータス", "診断",
        "例", "著作権", "関連項目"}},
  };
  return pages;
}

TEST(Manual, RendersWithoutWarnings) {
  const std::string groff = groff_program();
  if (groff.empty()) return;
  for (const ManualPage& page : manual_pages()) {
    std::vector<std::string> args = {groff, "-ww", "-z"};
    args.insert(args.end(), page.device.begin(), page.device.end());
    args.insert(args.end(), {"-man", page.path});
    const RunResult r = run_program(args);
    EXPECT_EQ(r.err, "") << page.path;
    EXPECT_EQ(r.status, 0) << page.path;
  }
}

// A manual as a reader sees it: plain text, no hyphenation, long lines.
std::string rendered_manual(const ManualPage& page) {
  const std::string groff = groff_program();
  if (groff.empty()) return "";
  std::vector<std::string> args = {groff};
  if (page.device.empty()) args.push_back("-Tascii");
  args.insert(args.end(), page.device.begin(), page.device.end());
  args.insert(args.end(), {"-man", "-P-c", "-P-b", "-P-o", "-P-u", "-rHY=0", "-rLL=200n", page.path});
  const RunResult r = run_program(args);
  EXPECT_EQ(r.status, 0) << r.err;
  return r.out;
}

TEST(Manual, HasEverySectionAndDocumentsEveryMessage) {
  for (const ManualPage& manual : manual_pages()) {
    SCOPED_TRACE(manual.path);
    const std::string page = rendered_manual(manual);
    std::size_t at = 0;
    for (const char* section : manual.sections) {
      at = page.find("\n" + std::string(section) + "\n", at);
      EXPECT_NE(at, std::string::npos) << "section " << section << " missing or out of order";
      if (at == std::string::npos) at = 0;
    }
    // Every text the command can write to standard error, as the manual
    // lists it: %s and %d for the inserted text, \n for an inner line feed.
    const char* const messages[] = {
        "%s: bad option",
        "%s: bad field number",
        "%s: bad position",
        "%s: bad length",
        "%s: bad field description",
        "cutting field number missing",
        "%s: bad cutting description",
        "%s; bad cutting description",
        "%s: not found",
        "%s: read error",
        "%s \\nError: too long line found!",
        "\\ncannot get the memory of %d K bytes",
        "\\ncannot get the memory of %d bytes",
        "cannot get the memory of %d K bytes",
        "cannot get the memory of %d bytes",
        "cannot get memory",
        "floating data error",
        "cannot write the output",
    };
    for (const char* message : messages) {
      EXPECT_NE(page.find("\n       " + std::string(message) + "\n"), std::string::npos)
          << "message not listed in DIAGNOSTICS: " << message;
    }
    for (const char* option : {"-i", "-J", "-u", "-v", "-tC", "-c n1[-n2]", "-usage", "--help", "--version"}) {
      EXPECT_NE(page.find("\n       " + std::string(option)), std::string::npos) << "option " << option;
    }
    for (const char* letter : {"s", "n", "x", "d", "t", "r"}) {
      EXPECT_NE(page.find("\n              " + std::string(letter) + "   "), std::string::npos)
          << "type letter " << letter;
    }
    EXPECT_NE(page.find("qorla -usage | iconv -f CP932 -t UTF-8"), std::string::npos);
    EXPECT_NE(page.find("MIT"), std::string::npos) << "the licence is not named";
  }
}

TEST(Manual, ShowsTheUsageLineTheCommandWrites) {
  const RunResult bare = run_qorla({});
  ASSERT_EQ(bare.status, 1);
  ASSERT_FALSE(bare.err.empty());
  const std::string usage = bare.err.substr(0, bare.err.size() - 1);  // without its line feed
  for (const ManualPage& page : manual_pages()) {
    EXPECT_NE(rendered_manual(page).find("\n       " + usage + "\n"), std::string::npos) << page.path;
  }
  EXPECT_NE(read_file(kSourceDir + "/README.md").find(usage.substr(7)), std::string::npos)
      << "README.md does not show the usage line";
}

// ---------------------------------------------------------------------------
// The Debian package.

std::string field_of(const std::string& dpkg_deb, const std::string& deb, const std::string& field) {
  const RunResult r = run_program({dpkg_deb, "-f", deb, field});
  EXPECT_EQ(r.status, 0) << r.err;
  std::string value = r.out;
  while (!value.empty() && value.back() == '\n') value.pop_back();
  return value;
}

// Builds the package from the test build into dir/out and sets deb to its
// path; skips the test where the Debian tools are missing.
void build_package(const std::string& dir, std::string& deb) {
  if (find_in_path("dpkg-deb").empty()) GTEST_SKIP() << "dpkg-deb is not installed: the Debian package is not checked";
  if (find_in_path("dpkg-shlibdeps").empty()) {
    GTEST_SKIP() << "dpkg-shlibdeps (Debian package dpkg-dev) is not installed: "
                    "the package's dependencies cannot be computed";
  }
  std::string build_dir = QORLA_BUILD_DIR;
  if (build_dir.empty()) build_dir = fs::path(QORLA_BINARY).parent_path().string();
  const std::string config = build_dir + "/CPackConfig.cmake";
  ASSERT_TRUE(fs::exists(config)) << config;

  const RunResult packed =
      run_program({QORLA_CPACK, "-G", "DEB", "--config", config, "-B", dir + "/out"}, {.dir = dir});
  ASSERT_EQ(packed.status, 0) << packed.out << packed.err;

  std::string arch;
  if (const std::string dpkg = find_in_path("dpkg"); !dpkg.empty()) {
    arch = run_program({dpkg, "--print-architecture"}).out;
    while (!arch.empty() && arch.back() == '\n') arch.pop_back();
  }
  std::vector<std::string> debs;
  for (const auto& entry : fs::directory_iterator(dir + "/out")) {
    if (entry.path().extension() == ".deb") debs.push_back(entry.path().filename().string());
  }
  ASSERT_EQ(debs.size(), 1u);
  if (!arch.empty()) {
    EXPECT_EQ(debs[0], "qorla_1.41_" + arch + ".deb");
  }
  deb = dir + "/out/" + debs[0];
}

// gzip -9n: best compression (XFL 2), and neither file name nor time stamp
// in the header, so that every build gives the same bytes.
void expect_gzip_9n(const std::string& bytes, const std::string& what) {
  ASSERT_GE(bytes.size(), 10u) << what;
  EXPECT_EQ(bytes.substr(0, 3), "\x1f\x8b\x08") << what << " is not gzip";
  EXPECT_EQ(bytes[3] & 0x08, 0) << what << ": file name stored (gzip without -n)";
  EXPECT_EQ(bytes.substr(4, 4), std::string(4, '\0')) << what << ": time stamp stored (gzip without -n)";
  EXPECT_EQ(bytes[8], 2) << what << ": not compressed with gzip -9";
}

TEST(DebianPackage, InstallsAWorkingCommandAndItsDocumentation) {
  TempDir work;
  std::string deb;
  ASSERT_NO_FATAL_FAILURE(build_package(work.path, deb));
  if (deb.empty()) return;  // skipped
  const std::string dpkg_deb = find_in_path("dpkg-deb");

  EXPECT_EQ(field_of(dpkg_deb, deb, "Package"), "qorla");
  EXPECT_EQ(field_of(dpkg_deb, deb, "Version"), "1.41");
  EXPECT_EQ(field_of(dpkg_deb, deb, "Section"), "utils");
  EXPECT_EQ(field_of(dpkg_deb, deb, "Maintainer"), "qorla developers <qorla-dev@lists.example.org>");
  // Computed from the binary: it links the C library at least.
  EXPECT_NE(field_of(dpkg_deb, deb, "Depends").find("libc6"), std::string::npos);
  const std::string description = field_of(dpkg_deb, deb, "Description");
  EXPECT_EQ(description.rfind("sort the lines of text files", 0), 0u) << description;
  EXPECT_NE(description.find("Shift-JIS"), std::string::npos);
  std::istringstream description_lines(description);
  for (std::string line; std::getline(description_lines, line);) {
    EXPECT_LE(line.size(), 80u) << "description line longer than 80 columns: " << line;
  }

  const std::string root = work.path + "/root";
  const RunResult unpacked = run_program({dpkg_deb, "-x", deb, root});
  ASSERT_EQ(unpacked.status, 0) << unpacked.err;

  // Files installed from the source tree, as they are or gzip -9n.
  const struct {
    const char* path;
    std::string source;
    bool gzipped;
  } installed[] = {
      {"usr/share/man/man1/qorla.1.gz", kManual, true},
      {"usr/share/man/ja/man1/qorla.1.gz", kManualJa, true},
      {"usr/share/doc/qorla/changelog.gz", kSourceDir + "/packaging/changelog", true},
      {"usr/share/bash-completion/completions/qorla", kSourceDir + "/completion/qorla.bash", false},
      {"usr/share/lintian/overrides/qorla", kSourceDir + "/packaging/lintian-overrides", false},
  };
  for (const auto& file : installed) {
    const std::string path = root + "/" + file.path;
    std::string bytes = read_file(path);
    if (file.gzipped) {
      expect_gzip_9n(bytes, file.path);
      bytes = run_program({"gzip", "-dc", path}).out;
    }
    EXPECT_TRUE(bytes == read_file(file.source)) << file.path << " is not " << file.source;
  }
  EXPECT_EQ(read_file(kSourceDir + "/packaging/changelog").rfind("qorla (1.41) ", 0), 0u)
      << "the changelog does not begin with this version";
  const std::string copyright = read_file(root + "/usr/share/doc/qorla/copyright");
  EXPECT_EQ(copyright.rfind("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n", 0), 0u);
  EXPECT_NE(copyright.find("\nLicense: MIT\n Permission is hereby granted"), std::string::npos) << copyright;

  const std::string installed_qorla = root + "/usr/bin/qorla";
  ASSERT_EQ(::access(installed_qorla.c_str(), X_OK), 0) << installed_qorla;
  const std::string examples = root + "/usr/share/doc/qorla/examples";
  const RunResult r = run_program({installed_qorla, "+2n", examples + "/prices.txt"});
  EXPECT_EQ(r.out, read_file(kExamplesDir + "/expected/prices-by-price.out"));
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
}

TEST(DebianPackage, LintianFindsNoErrorOrWarning) {
  const std::string lintian = find_in_path("lintian");
  if (lintian.empty()) {
    GTEST_SKIP() << "lintian is not installed (tools/setup-deps.sh test installs it): "
                    "the package is not checked by it";
  }
  TempDir work;
  std::string deb;
  ASSERT_NO_FATAL_FAILURE(build_package(work.path, deb));
  if (deb.empty()) return;  // skipped
  const RunResult r = run_program({lintian, "--allow-root", "--fail-on", "error,warning", deb});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "");
}

// ---------------------------------------------------------------------------
// The bash completion: sourced in bash, the function it registers for
// qorla is called with each command line as bash would, in a directory of
// a few files.

std::vector<std::string> completions(const std::string& dir, const std::vector<std::string>& words) {
  std::vector<std::string> args = {
      "bash", "--norc", "--noprofile", "-c",
      "source \"$1\" && cd \"$2\" || exit 1; shift 2\n"
      "COMP_WORDS=(qorla \"$@\"); COMP_CWORD=$#; COMP_LINE=\"${COMP_WORDS[*]}\"; COMP_POINT=${#COMP_LINE}\n"
      "function=$(complete -p qorla | sed -n 's/.* -F \\([^ ]*\\) .*/\\1/p')\n"
      "\"$function\" qorla \"${COMP_WORDS[COMP_CWORD]}\" \"${COMP_WORDS[COMP_CWORD - 1]}\" || exit 1\n"
      "printf '%s\\n' \"${COMPREPLY[@]}\"",
      "bash", kSourceDir + "/completion/qorla.bash", dir};
  args.insert(args.end(), words.begin(), words.end());
  const RunResult r = run_program(args);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  std::vector<std::string> offered;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty()) offered.push_back(line);
  }
  std::sort(offered.begin(), offered.end());
  return offered;
}

TEST(BashCompletion, OffersOptionsKeyLettersAndFiles) {
  TempDir dir;
  for (const char* name : {"a.txt", "b.csv", "-odd.txt"}) dir.write(name, "");
  fs::create_directory(dir.path + "/sub");
  const struct {
    std::vector<std::string> words;  // after "qorla", the last one being completed
    std::vector<std::string> offered;  // sorted
  } cases[] = {
      // Options only for a word that begins with '-'; a file name that
      // begins with '-' only once the options have ended.
      {{""}, {"a.txt", "b.csv", "sub"}},
      {{"-"}, {"--help", "--version", "-J", "-c", "-i", "-t", "-u", "-usage", "-v"}},
      {{"-u", "-"}, {"-J", "-c", "-i", "-t", "-u", "-v"}},  // the lone arguments only alone
      {{"-i"}, {"-i", "-iJ", "-iu", "-iv"}},
      {{"a.txt", "-"}, {"-odd.txt"}},
      {{"-c", "2", "+1n", "s"}, {"sub"}},
      {{"-c", ""}, {}},  // a field range
      {{"+2"}, {"+2d", "+2n", "+2r", "+2s", "+2t", "+2x"}},
      {{"+3.5,2x"}, {"+3.5,2x", "+3.5,2xr"}},
      {{"+1r"}, {"+1r", "+1rd", "+1rn", "+1rs", "+1rt", "+1rx"}},
  };
  for (const auto& c : cases) {
    std::string line = "qorla";
    for (const std::string& w : c.words) line += " " + w;
    EXPECT_EQ(completions(dir.path, c.words), c.offered) << line;
  }
}

}  // namespace
