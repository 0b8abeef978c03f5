#include "output/output.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace qorla {
namespace {

// What the output rules give, line by line, with nothing clever.
std::string reference_output(const std::vector<std::string>& lines, bool uniq) {
  std::string out, previous;
  for (const std::string& line : lines) {
    const std::size_t first = line.find_first_not_of(" \t");
    if (first != std::string::npos && line[first] == '\n') continue;
    if (uniq) {
      if (line == previous) continue;
      previous = line;
    }
    out += line;
    if (line.empty() || line.back() != '\n') out += '\n';
  }
  return out;
}

std::string written_output(const std::vector<std::string>& lines, bool uniq) {
  std::vector<LineRef> pointers;
  for (const std::string& line : lines) pointers.push_back(make_line_ref(line.data(), line.size()));
  const int fd = memfd_create("output_test", 0);
  std::vector<char> buffer(4096);
  Output out;
  out.fd = fd;
  out.buffer = buffer.data();
  out.capacity = buffer.size();
  write_lines(out, pointers.data(), pointers.size(), uniq);
  output_flush(out);
  const off_t size = lseek(fd, 0, SEEK_CUR);
  std::string result(static_cast<std::size_t>(size), '\0');
  pread(fd, result.data(), result.size(), 0);
  close(fd);
  return result;
}

// Sorted-looking input with runs of repeats, blank lines, lines without a
// line feed and empty strings, long enough to be formatted in segments on
// several threads: repeats and blank lines fall across segment ends.
std::vector<std::string> generated_lines(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<std::string> lines;
  std::string current = "a\n";
  while (lines.size() < n) {
    switch (rng() % 10) {
      case 0: lines.push_back(" \t\n"); break;
      case 1: lines.push_back(""); break;
      case 2: lines.push_back(current.substr(0, current.size() - 1)); break;
      default: {
        if (rng() % 3 == 0) current = "line " + std::to_string(rng() % 1000) + "\n";
        const std::size_t repeats = 1 + rng() % 40;
        for (std::size_t r = 0; r < repeats && lines.size() < n; ++r) lines.push_back(current);
      }
    }
  }
  return lines;
}

TEST(WriteLines, LargeOutputsMatchTheRulesWithAndWithoutUniq) {
  for (std::size_t n : {std::size_t{10}, std::size_t{70000}, std::size_t{300001}}) {
    for (unsigned seed : {1u, 2u}) {
      const auto lines = generated_lines(n, seed);
      for (bool uniq : {false, true}) {
        SCOPED_TRACE(testing::Message() << n << " lines, seed " << seed << ", uniq " << uniq);
        EXPECT_EQ(written_output(lines, uniq), reference_output(lines, uniq));
      }
    }
  }
}

TEST(WriteLines, SegmentsLargerThanTheirBuffersComeOutWholeAndInOrder) {
  // Segments of long lines do not fit a worker's buffer; the rest of each
  // is written in its turn.
  auto lines = generated_lines(70000, 3);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!lines[i].empty() && lines[i][0] == 'l') lines[i].insert(0, std::string(300, 'a' + i / 20000));
  }
  for (bool uniq : {false, true}) {
    SCOPED_TRACE(testing::Message() << "uniq " << uniq);
    EXPECT_EQ(written_output(lines, uniq), reference_output(lines, uniq));
  }
}

TEST(WriteLines, RepeatsAcrossSegmentEndsAreDroppedOnce) {
  // One text repeated throughout, with blank lines in between: printed once.
  std::vector<std::string> lines(200000, "same\n");
  for (std::size_t i = 0; i < lines.size(); i += 16384) lines[i] = "\t\n";
  EXPECT_EQ(written_output(lines, true), "same\n");
  // Empty strings before any printed line are dropped under uniq.
  std::vector<std::string> empties(100000, "");
  empties.push_back("x\n");
  EXPECT_EQ(written_output(empties, true), "x\n");
}

}  // namespace
}  // namespace qorla
