// Reading the file operands, end to end through the binary.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "e2e_checks.h"
#include "run_binary.h"

namespace {

using namespace std::string_literals;
using qorla_test::run_qorla;
using qorla_test::RunOptions;
using qorla_test::RunResult;
using qorla_test::TempDir;

const char kTooLong[] = " \nError: too long line found!\n";

// Writes bytes into a FIFO once a reader has opened it; gives up after a
// few seconds when nobody does, so that a run that never opens the FIFO
// cannot hang the test.
class FifoWriter {
 public:
  FifoWriter(const std::string& path, std::string bytes) {
    if (::mkfifo(path.c_str(), 0600) != 0) {
      ADD_FAILURE() << "mkfifo " << path;
      return;
    }
    thread_ = std::thread([path, bytes = std::move(bytes), this] {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      int fd;
      while ((fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK)) < 0) {
        if (errno != ENXIO || std::chrono::steady_clock::now() > deadline) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
      std::size_t at = 0;
      while (at < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + at, std::min<std::size_t>(bytes.size() - at, 1000));
        if (n <= 0) break;
        at += static_cast<std::size_t>(n);
      }
      ::close(fd);
      written_ = at == bytes.size();
    });
  }
  ~FifoWriter() { finish(); }
  bool finish() {
    if (thread_.joinable()) thread_.join();
    return written_;
  }

 private:
  std::thread thread_;
  bool written_ = false;
};

TEST(Reading, MissingFileBetweenReadableOnes) {
  qorla_test::expect_run({"missing file between readable ones",
                          {{"first.txt", "pear\napple\n"}, {"second.txt", "fig\nbanana"}},
                          {"first.txt", "nope.txt", "second.txt"},
                          "apple\nbanana\nfig\npear\n",
                          "nope.txt: not found\n"});
}

TEST(Reading, OperandsThatCannotBeRead) {
  TempDir dir;
  dir.write("a.txt", "b\na\n");
  ::mkdir((dir.path + "/sub").c_str(), 0700);
  const RunOptions in_dir{.dir = dir.path};
  struct Case {
    std::vector<std::string> args;
    std::string out;
    std::string err;
  };
  const Case cases[] = {
      {{"sub", "a.txt"}, "a\nb\n", "sub: not found\n"},
      {{".", "a.txt", "/"}, "a\nb\n", ".: not found\n/: not found\n"},
      {{"a.txt", ""}, "a\nb\n", ": not found\n"},
      {{"-u", "missing", "sub"}, "", "missing: not found\nsub: not found\n"},
      // The first operand ends the options; later ones are all file names.
      {{"a.txt", "-u", "+1"}, "a\nb\n", "-u: not found\n+1: not found\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front());
    const RunResult r = run_qorla(c.args, in_dir);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.status, 0);
  }
}

// Text whose every byte position can be told apart, for checking where a
// message cuts it.
std::string numbered_text(std::size_t n) {
  std::string text;
  for (std::size_t i = 0; text.size() < n; ++i) text += std::to_string(i) + ",";
  text.resize(n);
  return text;
}

TEST(Reading, TooLongLine) {
  TempDir dir;
  const std::string long_line = numbered_text(4094);
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string shown;  // the start of the line, shown in the message
  };
  const std::string good = dir.write("good.txt", "b\na\n");
  const std::string joined = std::string(400, 'j') + "\\\n" + numbered_text(3000) + "\\\n" + numbered_text(700) + "\n";
  const Case cases[] = {
      {"LineFeedMakes4095", {dir.write("t1", "ok\n" + long_line + "\nz\n")}, long_line},
      {"LastLineOf4095", {dir.write("t2", "ok\n" + long_line + "9")}, long_line},
      {"CrLf", {dir.write("t3", long_line + "\r\n")}, long_line},
      {"AfterAGoodFile", {good, dir.write("t4", long_line + "\n")}, long_line},
      // Under -J the joined pieces count together.
      {"Joined", {"-J", dir.write("t5", joined)}, joined},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const RunResult r = run_qorla(c.args);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.shown.substr(0, 768) + kTooLong);
    EXPECT_EQ(r.status, 1);
  }
}

TEST(Reading, LongestLinesAccepted) {
  TempDir dir;
  const std::string line = std::string(4093, 'b');
  const std::string last = std::string(4094, 'c');
  const RunResult r = run_qorla({dir.write("f", "a\n" + line + "\n" + last)});
  EXPECT_EQ(r.out, "a\n" + line + "\n" + last + "\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);

  // The same under -J, made of two joined pieces.
  const std::string joined = std::string(2000, 'b') + "\\\n" + std::string(2091, 'c') + "\n";
  const RunResult j = run_qorla({"-J", dir.write("g", joined)});
  EXPECT_EQ(j.out, joined);
  EXPECT_EQ(j.status, 0);
}

TEST(Reading, CrLfSortsLikeLf) {
  TempDir dir;
  const std::string lf = "pear 3\nfig 10\napple 2\n\nkiwi\\\nlime\nzeta";
  std::string crlf;
  for (const char c : lf) crlf += c == '\n' ? "\r\n"s : std::string(1, c);
  const std::string expected = "apple 2\nfig 10\nkiwi\\\nlime\npear 3\nzeta\n";
  for (const std::vector<std::string>& options : {std::vector<std::string>{}, std::vector<std::string>{"-u"}}) {
    std::vector<std::string> lf_args = options, crlf_args = options;
    lf_args.push_back(dir.write("lf.txt", lf));
    crlf_args.push_back(dir.write("crlf.txt", crlf));
    const RunResult a = run_qorla(lf_args), b = run_qorla(crlf_args);
    EXPECT_EQ(a.out, expected);
    EXPECT_EQ(b.out, expected);
    EXPECT_EQ(a.status, 0);
    EXPECT_EQ(b.status, 0);
  }
  // Carriage returns inside lines vanish and 0x1A ends the data.
  const RunResult c = run_qorla({dir.write("cr.txt", "b\rb\r\r\n\ra\n\x1A" "0 never read\n")});
  EXPECT_EQ(c.out, "a\nbb\n");
  EXPECT_EQ(c.status, 0);
}

TEST(Reading, JoinedAndCutLines) {
  TempDir dir;
  const std::string f = dir.write("f", "k2 w\\\nk1 v\n  b x\n\x95\x5C\na y\\\n");
  const RunResult joined = run_qorla({"-J", f});
  EXPECT_EQ(joined.out, "  b x\na y\\\nk2 w\\\nk1 v\n\x95\x5C\n");
  const RunResult plain = run_qorla({f});
  EXPECT_EQ(plain.out, "  b x\na y\\\nk1 v\nk2 w\\\n\x95\x5C\n");
  // -c 1-9999 is -c 1.
  const RunResult c1 = run_qorla({"-c", "1", f}), c19999 = run_qorla({"-c", "1-9999", f});
  EXPECT_EQ(c1.out, "a y\\\nb x\nk1 v\nk2 w\\\n\x95\x5C\n");
  EXPECT_EQ(c19999.out, c1.out);
  // The second field of each line (the continuation's first field is field
  // 3 of a joined line); a line of one field keeps the empty string, which
  // is printed as an empty line.
  const RunResult c2 = run_qorla({"-J", "-c", "2-2", f});
  EXPECT_EQ(c2.out, "\nw\\\nx\ny\\\n");
  EXPECT_EQ(c2.status, 0);
}

TEST(Reading, NulBytes) {
  TempDir dir;
  const RunResult r = run_qorla({dir.write("f", "\0hidden\nb\0lost\nc\n\0\na"s)});
  EXPECT_EQ(r.out, "a\nb\nc\n");
  EXPECT_EQ(r.status, 0);
}

TEST(Reading, StandardInputOnlyWhenNamed) {
  TempDir dir;
  const std::string input = dir.write("in.txt", "b\r\na\n");
  const RunResult none = run_qorla({"-u"}, {.stdin_path = input});
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.err, "");
  EXPECT_EQ(none.status, 0);
  const RunResult named = run_qorla({"-u", "/dev/stdin"}, {.stdin_path = input});
  EXPECT_EQ(named.out, "a\nb\n");
  EXPECT_EQ(named.err, "");
  EXPECT_EQ(named.status, 0);
}

TEST(Reading, Fifo) {
  TempDir dir;
  const std::string fifo = dir.path + "/fifo";
  std::string bytes;
  for (int i = 0; i < 30000; ++i) bytes += "line " + std::to_string(100000 - i) + "\r\n";
  FifoWriter writer(fifo, bytes + "last");
  const std::string other = dir.write("other.txt", "a\n");
  const RunResult r = run_qorla({other, fifo});
  EXPECT_TRUE(writer.finish());
  std::vector<std::string> lines{"a\n", "last\n"};
  for (int i = 0; i < 30000; ++i) lines.push_back("line " + std::to_string(100000 - i) + "\n");
  std::sort(lines.begin(), lines.end());
  std::string expected;
  for (const std::string& line : lines) expected += line;
  EXPECT_EQ(r.out, expected);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
}

TEST(Reading, ReadError) {
  // Reading this process's own memory from offset 0 fails.
  const int fd = ::open("/proc/self/mem", O_RDONLY);
  if (fd < 0) GTEST_SKIP() << "no /proc/self/mem";
  ::close(fd);
  TempDir dir;
  const RunResult r = run_qorla({dir.write("a", "a\n"), "/proc/self/mem", dir.write("b", "b\n")});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "/proc/self/mem: read error\n");
  EXPECT_EQ(r.status, 1);
}

// True when text is exactly one of the messages of the memory routines.
bool is_memory_message(const std::string& text) {
  if (text == "cannot get memory\n") return true;
  const std::string start = "cannot get the memory of ";
  std::size_t at = text.rfind(start, 1);
  if (at == std::string::npos || (at == 1 && text[0] != '\n')) return false;
  at += start.size();
  const std::size_t digits = at;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
  if (at == digits) return false;
  const std::string rest = text.substr(at);
  return rest == " K bytes\n" || rest == " bytes\n";
}

TEST(Reading, MemoryMessageCheck) {
  for (const char* good : {"\ncannot get the memory of 32768 K bytes\n", "\ncannot get the memory of 999 bytes\n",
                           "cannot get the memory of 5 K bytes\n", "cannot get the memory of 1000 bytes\n",
                           "cannot get memory\n"}) {
    EXPECT_TRUE(is_memory_message(good)) << good;
  }
  for (const char* bad : {"", "cannot get the memory of  K bytes\n", "\n\ncannot get the memory of 5 K bytes\n",
                          "xcannot get the memory of 5 K bytes\n", "cannot get the memory of 5 K bytes",
                          "cannot get the memory of 5 K bytes\nmore", "cannot get memory\n\n"}) {
    EXPECT_FALSE(is_memory_message(bad)) << bad;
  }
}

TEST(Reading, MemoryExhausted) {
#if QORLA_BINARY_SANITIZED
  GTEST_SKIP() << "the sanitizer runtime needs more address space than the limits below";
#endif
  TempDir dir;
  // About 16 MB of varied lines, and 4 MB of empty lines (the table of
  // pointers and the sorting then need more than the text itself).
  std::vector<std::string> lines;
  std::string words;
  for (int i = 0; words.size() < (std::size_t{16} << 20); ++i) {
    lines.push_back("word " + std::to_string(i * 7919 % 1000003) + " " + std::string(static_cast<std::size_t>(i % 60), 'x') + "\n");
    words += lines.back();
  }
  std::sort(lines.begin(), lines.end());
  std::string sorted;
  for (const std::string& line : lines) sorted += line;
  lines.clear();
  struct Case {
    std::string file;
    std::string output;  // of a run that has enough memory
    std::vector<long> limits_mb;
  };
  const Case cases[] = {
      {dir.write("words.txt", words), sorted, {12, 28, 48, 64, 96}},
      {dir.write("empty.txt", std::string(std::size_t{4} << 20, '\n')), "", {12, 48, 96}},
  };
  words.clear();
  for (const Case& c : cases) {
    for (const long mb : c.limits_mb) {
      SCOPED_TRACE(c.file + " " + std::to_string(mb) + " MB");
      RunOptions limited;
      limited.address_space_limit = mb << 20;
      const RunResult r = run_qorla({c.file}, limited);
      // Either the run has room and is complete, or it stops with one of
      // the messages of the memory routines, before any output.
      if (r.status == 0) {
        EXPECT_TRUE(r.out == c.output) << r.out.size() << " bytes of output";
        EXPECT_EQ(r.err, "");
      } else {
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(is_memory_message(r.err)) << r.err;
        EXPECT_EQ(r.out, "");
      }
      // Less room than the text of the input can never be enough.
      if (mb == 12) {
        EXPECT_EQ(r.status, 1);
      }
    }
  }
}

}  // namespace
