#include "input/input_file.h"

#include <gtest/gtest.h>

#include <ostream>

#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "input/test_support.h"

namespace qorla {
namespace {

using namespace std::string_literals;

struct TranslateCase {
  const char* name;
  std::string in;
  std::string out;
  bool stop;
};

// Test listings show the case by its name.
void PrintTo(const TranslateCase& c, std::ostream* os) { *os << c.name; }

const TranslateCase kTranslate[] = {
    {"Plain", "abc\ndef\n", "abc\ndef\n", false},
    {"Empty", "", "", false},
    {"CrLf", "a\r\nb\r\n", "a\nb\n", false},
    {"LoneCrAnywhere", "\ra\rb\r", "ab", false},
    {"OnlyCrs", "\r\r\r", "", false},
    {"SubEndsData", "ab\x1A" "cd\n", "ab", true},
    {"SubFirst", "\x1A" "abc", "", true},
    {"SubLast", "abc\x1A", "abc", true},
    {"CrBeforeAndAfterSub", "a\r\nb\x1A\r\nc", "a\nb", true},
    {"NulKept", "\0\r\0a"s, "\0\0a"s, false},
    {"HighBytesKept", "\x95\x5C\xB1\r\n", "\x95\x5C\xB1\n", false},
};

class Translate : public ::testing::TestWithParam<TranslateCase> {};

TEST_P(Translate, RemovesCarriageReturnsAndStopsAtSub) {
  const TranslateCase& c = GetParam();
  std::vector<char> data(c.in.begin(), c.in.end());
  data.push_back('#');  // must stay untouched
  bool stop = !c.stop;
  const std::size_t kept = translate_text_mode(data.data(), c.in.size(), &stop);
  EXPECT_EQ(std::string(data.data(), kept), c.out);
  EXPECT_EQ(stop, c.stop);
  EXPECT_EQ(data.back(), '#');
}

INSTANTIATE_TEST_SUITE_P(Cases, Translate, ::testing::ValuesIn(kTranslate),
                         [](const ::testing::TestParamInfo<TranslateCase>& info) { return std::string(info.param.name); });

using InputFileTest = test_support::TempFilesTest;

TEST_F(InputFileTest, PiecesFollowTheLineFeedsAndTheLimit) {
  const std::string path = write("abcdef\nxyz\r\n\nlast");
  std::vector<char> buffer(8192);
  InputFile file;
  ASSERT_TRUE(open_input(file, path.c_str(), buffer.data(), buffer.size()));
  EXPECT_EQ(next_piece(file, 3), "abc");
  EXPECT_EQ(next_piece(file, 3), "def");
  EXPECT_EQ(next_piece(file, 3), "\n");
  EXPECT_EQ(next_piece(file, 4), "xyz\n");  // the carriage return is gone
  EXPECT_EQ(next_piece(file, 1), "\n");
  EXPECT_EQ(next_piece(file, 4095), "last");
  EXPECT_EQ(next_piece(file, 4095), "");
  EXPECT_EQ(next_piece(file, 4095), "");
  EXPECT_FALSE(file.read_error);
  close_input(file);
}

TEST_F(InputFileTest, LongPiecesAcrossASmallBuffer) {
  // Lines of every length up to 4100 bytes through a buffer barely larger
  // than one piece, so that nearly every piece needs a refill.
  std::string data;
  std::vector<std::string> expected;
  for (std::size_t n = 0; n <= 4100; n += 97) {
    std::string line(n, static_cast<char>('a' + n % 26));
    data += line + "\r\n";
    // A piece holds at most 4095 bytes.
    line += '\n';
    for (std::size_t at = 0; at < line.size(); at += 4095) expected.push_back(line.substr(at, 4095));
  }
  const std::string path = write(data);
  for (const std::size_t capacity : {std::size_t{4096}, std::size_t{5000}, std::size_t{1} << 20}) {
    SCOPED_TRACE(capacity);
    std::vector<char> buffer(capacity);
    InputFile file;
    ASSERT_TRUE(open_input(file, path.c_str(), buffer.data(), buffer.size()));
    std::vector<std::string> pieces;
    for (std::string_view piece; !(piece = next_piece(file, 4095)).empty();) pieces.emplace_back(piece);
    EXPECT_EQ(pieces, expected);
    close_input(file);
  }
}

TEST_F(InputFileTest, SubStopsReading) {
  const std::string path = write("one\ntwo\x1Athree\nfour\n");
  std::vector<char> buffer(8192);
  InputFile file;
  ASSERT_TRUE(open_input(file, path.c_str(), buffer.data(), buffer.size()));
  EXPECT_EQ(next_piece(file, 4095), "one\n");
  EXPECT_EQ(next_piece(file, 4095), "two");
  EXPECT_EQ(next_piece(file, 4095), "");
  EXPECT_FALSE(file.read_error);
  close_input(file);
}

TEST_F(InputFileTest, WhatCannotBeOpened) {
  std::vector<char> buffer(8192);
  InputFile file;
  EXPECT_FALSE(open_input(file, (dir_ + "/missing").c_str(), buffer.data(), buffer.size()));
  EXPECT_FALSE(open_input(file, "", buffer.data(), buffer.size()));
  EXPECT_FALSE(open_input(file, dir_.c_str(), buffer.data(), buffer.size()));
  EXPECT_FALSE(open_input(file, "/", buffer.data(), buffer.size()));
}

TEST_F(InputFileTest, SpecialFilesOpen) {
  std::vector<char> buffer(8192);
  InputFile file;
  ASSERT_TRUE(open_input(file, "/dev/null", buffer.data(), buffer.size()));
  EXPECT_EQ(next_piece(file, 4095), "");
  EXPECT_FALSE(file.read_error);
  close_input(file);
}

TEST_F(InputFileTest, RegularFilesAreHeldWholeOthersStayStreams) {
  std::vector<char> buffer(8192);
  // A large file is read into memory when huge pages are free, else mapped
  // like a small one: either way it is there whole.
  std::string large;
  for (int i = 0; large.size() < (std::size_t{5} << 20); ++i) large += std::to_string(i) + " line\n";
  const struct {
    std::string path;
    std::string contents;
    bool whole;
  } cases[] = {{write("abc\n"), "abc\n", true}, {write(large), large, true}, {write(""), "", false}, {"/dev/null", "", false}};
  for (const auto& c : cases) {
    InputFile file;
    ASSERT_TRUE(open_input(file, c.path.c_str(), buffer.data(), buffer.size()));
    load_whole(file, c.path.c_str());
    ASSERT_EQ(file.whole != nullptr, c.whole) << c.path;
    if (c.whole) {
      EXPECT_TRUE(std::string_view(file.whole, file.whole_size) == c.contents) << c.path;
    }
    close_input(file);
  }
}

TEST_F(InputFileTest, MappedFileThatShrinksIsAReadError) {
  const std::string path = write(std::string(3 * 4096, 'x'));
  std::vector<char> buffer(8192);
  InputFile file;
  ASSERT_TRUE(open_input(file, path.c_str(), buffer.data(), buffer.size()));
  load_whole(file, path.c_str());
  ASSERT_NE(file.whole, nullptr);
  ASSERT_EQ(::truncate(path.c_str(), 0), 0);
  const volatile char* last = file.whole + file.whole_size - 1;
  EXPECT_EXIT((void)*last, ::testing::ExitedWithCode(1), "^" + path + ": read error\n$");
}

TEST_F(InputFileTest, ReadErrorIsFlagged) {
  // A descriptor open for writing only cannot be read.
  const std::string path = write("abc\n");
  std::vector<char> buffer(8192);
  InputFile file;
  ASSERT_TRUE(open_input(file, path.c_str(), buffer.data(), buffer.size()));
  ::close(file.fd);
  file.fd = ::open(path.c_str(), O_WRONLY);
  ASSERT_GE(file.fd, 0);
  EXPECT_EQ(next_piece(file, 4095), "");
  EXPECT_TRUE(file.read_error);
  close_input(file);
}

}  // namespace
}  // namespace qorla
