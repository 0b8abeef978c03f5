#include "input/reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "input/test_support.h"
#include "order/settings.h"
#include "support/char_search.h"

namespace qorla {
namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;

// Temporary files, removed at the end of each test; the field separator
// some tests set goes back to the blank.
class ReaderTest : public test_support::TempFilesTest {
 protected:
  void TearDown() override {
    field_separator = 0;
    TempFilesTest::TearDown();
  }
};

Options options_with(int join, int n1 = 0, int n2 = 9999) {
  Options o;
  o.join_flag = join;
  o.cut_first = n1;
  o.cut_last = n2;
  return o;
}

// The stored lines, each checked to hold no 0 byte and to hold a line feed
// or be followed by a 0 byte, as every reader of a stored line relies on.
Lines stored_lines(const LineTable& table) {
  EXPECT_LT(table.line_count, table.line_capacity);
  Lines lines;
  for (std::int32_t i = 0; i < table.line_count; ++i) {
    const std::string_view text = line_text(table.lines[i]);
    EXPECT_EQ(text.find('\0'), std::string_view::npos) << "line " << i;
    EXPECT_TRUE(text.find('\n') != std::string_view::npos || text.data()[text.size()] == 0) << "line " << i;
    lines.emplace_back(text);
  }
  return lines;
}

// Reads one file through read_lines with an input buffer of capacity bytes.
Lines read_path(const std::string& path, const Options& options, std::size_t capacity = std::size_t{1} << 20) {
  std::vector<char> buffer(capacity);
  InputFile file;
  if (!open_input(file, path.c_str(), buffer.data(), buffer.size())) {
    ADD_FAILURE() << "cannot open " << path;
    return {};
  }
  load_whole(file, path.c_str());
  LineTable table;
  create_table(table);
  read_lines(file, path.c_str(), options, table);
  close_input(file);
  return stored_lines(table);
}

// Reads data through a pipe fed in uneven chunks by another thread, so
// that it is read as a stream and reads come back short anywhere.
Lines read_through_pipe(const std::string& data, const Options& options, std::size_t capacity) {
  int fds[2];
  if (::pipe(fds) != 0) {
    ADD_FAILURE() << "no pipe";
    return {};
  }
  std::thread writer([&data, fd = fds[1]] {
    std::size_t at = 0, step = 1;
    while (at < data.size()) {
      const std::size_t n = std::min(step, data.size() - at);
      const ssize_t done = ::write(fd, data.data() + at, n);
      if (done <= 0) break;
      at += static_cast<std::size_t>(done);
      step = step * 7 % 9001 + 1;
    }
    ::close(fd);
  });
  const Lines stored = read_path("/dev/fd/" + std::to_string(fds[0]), options, capacity);
  writer.join();
  ::close(fds[0]);
  return stored;
}

// The reading rules restated over a whole file held in memory: text-mode
// translation first, then lines assembled from pieces the way fgets reads
// them into one 4096-byte buffer. Returns false for a line too long.
bool model_lines(const std::string& raw, bool join, Lines& out) {
  std::string data;
  for (const char c : raw) {
    if (c == '\x1A') break;
    if (c != '\r') data += c;
  }
  std::size_t pos = 0;
  for (bool ended = false; !ended;) {
    char buf[4096];
    std::size_t length = 0;
    buf[0] = 0;
    for (;;) {
      if (pos == data.size()) {
        ended = true;
        break;
      }
      std::size_t n = 0;
      while (n < 4095 - length && pos < data.size()) {
        buf[length + n] = data[pos++];
        if (buf[length + n++] == '\n') break;
      }
      buf[length + n] = 0;
      const char* backslash = Strrchr(buf + length, '\\');
      length += std::strlen(buf + length);
      if (!(join && length < 4095 && backslash != nullptr && backslash[1] == '\n')) break;
    }
    if (length >= 4095) return false;
    if (buf[0] != 0) out.emplace_back(buf, length);
  }
  return true;
}

const std::string a4093(4093, 'a');

std::string repeated(const std::string& text, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += text;
  return all;
}

Lines concat(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct ReadCase {
  const char* name;
  std::string input;
  int join;
  int n1;
  int n2;
  Lines expected;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

const ReadCase kReads[] = {
    {"Empty", "", 0, 0, 9999, {}},
    {"LineFeedsAlone", "\n\n", 0, 0, 9999, {"\n", "\n"}},
    {"LastLineWithoutLineFeed", "a\nb", 0, 0, 9999, {"a\n", "b"}},
    {"LongestLine", a4093 + "\nz\n", 0, 0, 9999, {a4093 + "\n", "z\n"}},
    {"LongestLastLine", "z\n" + a4093 + "b", 0, 0, 9999, {"z\n", a4093 + "b"}},
    {"LongestLineJoinFlag", a4093 + "\n", 1, 0, 9999, {a4093 + "\n"}},

    // Joining under -J.
    {"Joined", "alpha\\\nbeta\n", 1, 0, 9999, {"alpha\\\nbeta\n"}},
    {"NotJoinedWithoutFlag", "alpha\\\nbeta\n", 0, 0, 9999, {"alpha\\\n", "beta\n"}},
    {"SeveralJoined", "a\\\nb\\\nc\nd\n", 1, 0, 9999, {"a\\\nb\\\nc\n", "d\n"}},
    {"JoinedCrLf", "alpha\\\r\nbeta\r\n", 1, 0, 9999, {"alpha\\\nbeta\n"}},
    {"TrailByteIsNoBackslash", "\x95\x5C\nbeta\n", 1, 0, 9999, {"\x95\x5C\n", "beta\n"}},
    {"BackslashAfterDoubleByte", "\x95\x5C\\\nbeta\n", 1, 0, 9999, {"\x95\x5C\\\nbeta\n"}},
    {"KatakanaThenBackslash", "\xB1\\\nbeta\n", 1, 0, 9999, {"\xB1\\\nbeta\n"}},
    {"BackslashBlankNotJoined", "alpha\\ \nbeta\n", 1, 0, 9999, {"alpha\\ \n", "beta\n"}},
    {"BackslashInsideNotJoined", "al\\pha\nbeta\n", 1, 0, 9999, {"al\\pha\n", "beta\n"}},
    {"JoinedAtEndOfFile", "x\nalpha\\\n", 1, 0, 9999, {"x\n", "alpha\\\n"}},
    {"JoinedWithLastLineWithoutLineFeed", "alpha\\\nbeta", 1, 0, 9999, {"alpha\\\nbeta"}},
    {"JoinedEmptyContinuation", "alpha\\\n\nbeta\n", 1, 0, 9999, {"alpha\\\n\n", "beta\n"}},
    {"JoinedLongest", std::string(2000, 'a') + "\\\n" + std::string(2091, 'b') + "\n", 1, 0, 9999,
     {std::string(2000, 'a') + "\\\n" + std::string(2091, 'b') + "\n"}},
    {"JoinedLongestAtEnd", std::string(4092, 'a') + "\\\n", 1, 0, 9999, {std::string(4092, 'a') + "\\\n"}},

    // Text mode: carriage returns vanish, 0x1A ends the data.
    {"CarriageReturnsAnywhere", "a\rb\r\n\rc\n\r\r\n", 0, 0, 9999, {"ab\n", "c\n", "\n"}},
    {"CarriageReturnsDoNotCount", std::string(4093, 'a') + "\r\r\r\n", 0, 0, 9999, {a4093 + "\n"}},
    {"SubEndsData", "a\nb\x1A" "c\nd\n", 0, 0, 9999, {"a\n", "b"}},
    {"SubFirst", "\x1A" "a\n", 0, 0, 9999, {}},
    {"SubAfterCrLf", "a\r\n\x1A" "b\r\n", 0, 0, 9999, {"a\n"}},
    // Data after 0x1A beyond the first read of the file.
    {"SubEndsLongData", "a\n\x1A" + repeated("b\n", 5000), 0, 0, 9999, {"a\n"}},

    // NUL bytes.
    {"NulStartsLine", "\0abc\nxyz\n"s, 0, 0, 9999, {"xyz\n"}},
    {"NulAlone", "\0\nxyz\n"s, 0, 0, 9999, {"xyz\n"}},
    {"NulInside", "ab\0cd\nxyz\n"s, 0, 0, 9999, {"ab", "xyz\n"}},
    {"NulInLastLine", "xyz\nab\0cd"s, 0, 0, 9999, {"xyz\n", "ab"}},
    {"NulStartsContinuation", "ab\\\n\0cd\nxy\n"s, 1, 0, 9999, {"ab\\\n", "xy\n"}},
    {"NulHidesBackslash", "ab\\\ncd\0\\\nef\n"s, 1, 0, 9999, {"ab\\\ncd", "ef\n"}},
    {"NulBeforeBackslash", "ab\0\\\ncd\n"s, 1, 0, 9999, {"ab", "cd\n"}},
    // A NUL line still waiting in the buffer when more data is read in.
    {"NulLineAcrossRefill", repeated("b\n", 5) + "\0a\n"s + repeated("c\n", 3000), 0, 0, 9999,
     concat(Lines(5, "b\n"), Lines(3000, "c\n"))},
    // A NUL within the first 4095 bytes ends a longer line early; the rest
    // of the line, read as the next piece, becomes a line of its own.
    {"NulInLongLine", std::string(100, 'a') + '\0' + std::string(5000, 'b') + "\n", 0, 0, 9999,
     {std::string(100, 'a'), std::string(1006, 'b') + "\n"}},
    {"NulAtLastByteOfFirstPiece", std::string(4094, 'a') + '\0' + std::string(10, 'b') + "\n", 0, 0, 9999,
     {std::string(4094, 'a'), std::string(10, 'b') + "\n"}},

    // -c while reading.
    {"CutFirstField", "  alpha beta\n gamma\n", 0, 1, 1, {"alpha\n", "gamma\n"}},
    {"CutBlankLinesStoredEmpty", "a b\n  \n\nc d", 0, 2, 9999, {"b\n", "", "", "d"}},
    {"CutBlankLineNoLineFeed", "a\n  ", 0, 1, 2, {"a\n", "\n"}},
    {"CutJoined", "k1 v\\\nk2 w\n", 1, 3, 9999, {"k2 w\n"}},
    {"CutJoinedRange", "k1 v\\\nk2 w\n", 1, 2, 2, {"v\\\n"}},
    {"CutCrLf", "a b\r\nc d\r\n", 0, 2, 2, {"b\n", "d\n"}},
    {"CutLongestLine", std::string(2000, 'a') + " " + std::string(2092, 'b') + "\n", 0, 2, 2,
     {std::string(2092, 'b') + "\n"}},
    {"CutLongestLastLineAddsLineFeed", std::string(2000, 'a') + " " + std::string(2093, 'b'), 0, 2, 2,
     {std::string(2093, 'b') + "\n"}},
};

class ReadLines : public ReaderTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadLines, StoresTheLines) {
  const ReadCase& c = GetParam();
  const Options options = options_with(c.join, c.n1, c.n2);
  // A regular file is held whole; a pipe is read as a stream, also across a
  // buffer barely larger than one piece.
  EXPECT_EQ(read_path(write(c.input), options), c.expected);
  for (const std::size_t capacity : {std::size_t{1} << 20, std::size_t{4099}}) {
    SCOPED_TRACE(capacity);
    EXPECT_EQ(read_through_pipe(c.input, options, capacity), c.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadLines, ::testing::ValuesIn(kReads),
                         [](const ::testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

TEST_F(ReaderTest, CutWithSeparator) {
  const std::string path = write("alpha::beta:gamma\n::x:y\n");
  field_separator = ':';
  EXPECT_EQ(read_path(path, options_with(0, 2, 2)), (Lines{"beta\n", "y\n"}));
}

// Regular expression for exactly text.
std::string exactly(const std::string& text) {
  std::string re = "^";
  for (const char c : text) {
    if (std::strchr("\\^$.|?*+()[]{}", c) != nullptr) re += '\\';
    re += c;
  }
  return re + "$";
}

// The too-long message shows the first 768 bytes of the line.
std::string too_long_message(const std::string& line) {
  return exactly(line.substr(0, 768) + " \nError: too long line found!\n");
}

struct TooLongCase {
  const char* name;
  std::string input;
  int join;
  std::string shown;  // the start of the line in the message
};

void PrintTo(const TooLongCase& c, std::ostream* os) { *os << c.name; }

std::string joined_pieces(int pieces, int piece_length) {
  std::string text;
  for (int i = 0; i < pieces; ++i) text += std::string(piece_length, static_cast<char>('a' + i)) + "\\\n";
  return text;
}

const TooLongCase kTooLong[] = {
    {"LineOf4094", "ok\n" + std::string(4094, 'a') + "\nz\n", 0, std::string(4094, 'a')},
    {"LastLineOf4095", "ok\n" + std::string(4095, 'a'), 0, std::string(4095, 'a')},
    {"LongLine", std::string(9000, 'a') + "\n", 0, std::string(4095, 'a')},
    {"CrLfOf4094", std::string(4094, 'a') + "\r\n", 0, std::string(4094, 'a')},
    {"LineOf4094JoinFlag", std::string(4094, 'a') + "\n", 1, std::string(4094, 'a')},
    {"LineOf4094EndingInBackslash", std::string(4093, 'a') + "\\\n", 1, std::string(4093, 'a') + "\\"},
    // Under -J the limit counts the joined pieces with their backslashes
    // and line feeds.
    {"JoinedOf4095", std::string(2000, 'a') + "\\\n" + std::string(2092, 'b') + "\n", 1,
     std::string(2000, 'a') + "\\\n" + std::string(2092, 'b')},
    {"JoinedManyPieces", joined_pieces(20, 300) + "end\n", 1, joined_pieces(20, 300)},
    // A piece ending in backslash and line feed at 4094 bytes still joins;
    // one more byte makes the line too long.
    {"JoinedOneByteMore", std::string(4092, 'a') + "\\\nb\n", 1, std::string(4092, 'a') + "\\\nb"},
    {"JoinedLineFeedMore", std::string(4092, 'a') + "\\\n\n", 1, std::string(4092, 'a') + "\\\n\n"},
    {"NulJustPastTheLimit", std::string(4095, 'a') + '\0' + "\n", 0, std::string(4095, 'a')},
    // A large file of plain lines is read on every core, and still stops.
    {"LineOf4094InALargeFile", repeated("plain line\n", 600000) + std::string(4094, 'c') + "\n", 0,
     std::string(4094, 'c')},
};

class TooLong : public ReaderTest, public ::testing::WithParamInterface<TooLongCase> {};

TEST_P(TooLong, EndsTheRun) {
  const TooLongCase& c = GetParam();
  const std::string path = write(c.input);
  EXPECT_EXIT(read_path(path, options_with(c.join)), ::testing::ExitedWithCode(1), too_long_message(c.shown));
}

INSTANTIATE_TEST_SUITE_P(Cases, TooLong, ::testing::ValuesIn(kTooLong),
                         [](const ::testing::TestParamInfo<TooLongCase>& info) { return std::string(info.param.name); });

TEST_F(ReaderTest, ReadErrorEndsTheRun) {
  const std::string path = write("abc\n");
  EXPECT_EXIT(
      {
        std::vector<char> buffer(8192);
        InputFile file;
        open_input(file, path.c_str(), buffer.data(), buffer.size());
        // A descriptor open for writing only fails every read.
        ::close(file.fd);
        file.fd = ::open(path.c_str(), O_WRONLY);
        LineTable table;
        create_table(table);
        read_lines(file, "name given", options_with(0), table);
        std::_Exit(99);
      },
      ::testing::ExitedWithCode(1), exactly("name given: read error\n"));
}

TEST_F(ReaderTest, TableGrowsAndKeepsInputOrder) {
  for (const int count : {999, 1000, 1001, 2000, 2500}) {
    SCOPED_TRACE(count);
    std::string data;
    Lines expected;
    for (int i = 0; i < count; ++i) {
      // Descending, so that no ordering could pass for input order.
      expected.push_back(std::to_string(count - i) + " line\n");
      data += expected.back();
    }
    EXPECT_EQ(read_path(write(data), options_with(0)), expected);
  }
}

// Deterministic varied input: lines of many lengths up to the limit, with
// carriage returns, blanks, backslashes, double-byte characters and, when
// asked, NUL bytes and joined lines.
std::string varied_input(std::size_t total, std::uint32_t seed, bool nul, bool join, bool cr = true) {
  std::uint32_t state = seed;
  auto next = [&state](std::uint32_t bound) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % bound;
  };
  static const char kBytes[] = "abcdefghijklmnopqrstuvwxyz0123456789 \t\\\x95\x5C\xB1\r";
  // Without carriage returns the last byte of kBytes is left out.
  const std::uint32_t byte_kinds = sizeof kBytes - (cr ? 1 : 2);
  std::string data;
  std::size_t joined = 0;  // bytes of the line being joined so far (at most 4093)
  while (data.size() < total) {
    std::size_t length;
    switch (next(10)) {
      case 0: length = 4000 + next(95); break;
      case 1: length = 500 + next(3000); break;
      default: length = next(120); break;
    }
    // Keep every line, joined pieces included, within 4094 bytes. A piece
    // that may join leaves room for at least the line feed of the next.
    const std::size_t most = !join ? 4093 : joined < 4093 ? 4093 - joined - 1 : 0;
    length = std::min(length, most);
    const bool continues = join && length >= 1 && next(4) == 0;
    std::string line, kept;  // kept: the bytes left after translation
    while (kept.size() + (continues ? 1 : 0) < length) {
      char c = kBytes[next(byte_kinds)];
      if (nul && next(3000) == 0) c = '\0';
      line += c;
      if (c != '\r') kept += c;
    }
    if (continues) {
      line += '\\';
      kept += '\\';
    }
    data += line + (cr && next(5) == 0 ? "\r\n" : "\n");
    // Any line ending in a backslash may join with the next one.
    joined = join && !kept.empty() && kept.back() == '\\' ? joined + kept.size() + 1 : 0;
  }
  return data;
}

struct VariedCase {
  const char* name;
  std::uint32_t seed;
  bool nul;
  bool join;
  bool cr = true;
};

void PrintTo(const VariedCase& c, std::ostream* os) { *os << c.name; }

const VariedCase kVaried[] = {
    {"Plain", 1, false, false},
    {"WithoutCarriageReturns", 5, false, false, false},
    {"WithNul", 2, true, false},
    {"Joined", 3, false, true},
    {"JoinedWithNul", 4, true, true},
};

class VariedInput : public ReaderTest, public ::testing::WithParamInterface<VariedCase> {};

// Several MiB through read_files: lines cross the boundaries of the input
// buffer at every kind of position, and every line is stored exactly.
TEST_P(VariedInput, EveryLineStoredExactly) {
  const VariedCase& c = GetParam();
  std::string data = varied_input(std::size_t{5} << 20, c.seed, c.nul, c.join, c.cr);
  if (!c.cr) data.pop_back();  // and a last line without a line feed
  Lines expected;
  ASSERT_TRUE(model_lines(data, c.join, expected));
  const std::string path = write(data);
  char arg0[] = "qorla";
  std::vector<char*> argv{arg0, const_cast<char*>(path.c_str())};
  Options options = options_with(c.join);
  options.first_file = 1;
  LineTable table;
  create_table(table);
  read_files(static_cast<int>(argv.size()), argv.data(), options, table);
  const Lines stored = stored_lines(table);
  ASSERT_EQ(stored.size(), expected.size());
  for (std::size_t i = 0; i < stored.size(); ++i) ASSERT_EQ(stored[i], expected[i]) << "line " << i;
}

// The same through a pipe fed in uneven chunks, so that reads come back
// short at arbitrary places.
TEST_P(VariedInput, ThroughAPipe) {
  const VariedCase& c = GetParam();
  const std::string data = varied_input(std::size_t{1} << 20, c.seed + 100, c.nul, c.join);
  Lines expected;
  ASSERT_TRUE(model_lines(data, c.join, expected));
  const Lines stored = read_through_pipe(data, options_with(c.join), std::size_t{1} << 16);
  ASSERT_EQ(stored.size(), expected.size());
  for (std::size_t i = 0; i < stored.size(); ++i) ASSERT_EQ(stored[i], expected[i]) << "line " << i;
}

INSTANTIATE_TEST_SUITE_P(Cases, VariedInput, ::testing::ValuesIn(kVaried),
                         [](const ::testing::TestParamInfo<VariedCase>& info) { return std::string(info.param.name); });

TEST_F(ReaderTest, FilesReadInOrderMissingOnesSkipped) {
  const std::string first = write("b1\nb2\n");
  const std::string second = write("a1\r\na2");
  const std::string missing = dir_ + "/missing";
  std::vector<std::string> args{"qorla", "-J", first, missing, "", dir_, second};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  Options options = options_with(1);
  options.first_file = 2;
  testing::internal::CaptureStderr();
  LineTable table;
  create_table(table);
  read_files(static_cast<int>(argv.size()), argv.data(), options, table);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(stored_lines(table), (Lines{"b1\n", "b2\n", "a1\n", "a2"}));
  EXPECT_EQ(err, missing + ": not found\n: not found\n" + dir_ + ": not found\n");
}

TEST_F(ReaderTest, NoFileOperand) {
  char arg0[] = "qorla";
  char* argv[] = {arg0, nullptr};
  Options options = options_with(0);
  options.first_file = 1;
  LineTable table;
  create_table(table);
  read_files(1, argv, options, table);
  EXPECT_EQ(table.line_count, 0);
}

}  // namespace
}  // namespace qorla
