#include "support/memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace qorla {
namespace {

class MemoryTest : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
  void TearDown() override { set_allocation_limit_for_testing(0); set_memory_left_for_testing(SIZE_MAX); }
};

bool all_zero(const void* block, std::size_t n) {
  const auto* p = static_cast<const unsigned char*>(block);
  for (std::size_t i = 0; i < n; ++i) {
    if (p[i] != 0) return false;
  }
  return true;
}

TEST_F(MemoryTest, GetmemClearsReusedMemory) {
  // Dirty a block of the same size first, so that the allocator is likely
  // to hand the same memory back.
  for (const std::size_t size : {std::size_t{24}, std::size_t{1000}, std::size_t{4096},
                                 std::size_t{300000}, std::size_t{3} << 20}) {
    void* dirty = std::malloc(size);
    ASSERT_NE(dirty, nullptr);
    std::memset(dirty, 0xA5, size);
    std::free(dirty);
    void* block = getmem(size);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(all_zero(block, size)) << "size " << size;
    // The whole block is writable.
    std::memset(block, 0x5A, size);
    std::free(block);
  }
}

TEST_F(MemoryTest, MorememKeepsContents) {
  auto* block = static_cast<unsigned char*>(getmem(100));
  for (int i = 0; i < 100; ++i) block[i] = static_cast<unsigned char>(i * 7 + 1);

  // Larger: far enough to make the block move.
  block = static_cast<unsigned char*>(moremem(block, 1 << 20));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(block[i], static_cast<unsigned char>(i * 7 + 1)) << i;
  block[(1 << 20) - 1] = 0xEE;  // the new end is usable

  // Smaller: the first size bytes stay.
  block = static_cast<unsigned char*>(moremem(block, 10));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 10; ++i) ASSERT_EQ(block[i], static_cast<unsigned char>(i * 7 + 1)) << i;
  std::free(block);
}

TEST_F(MemoryTest, SetstrCopies) {
  const char empty[] = "";
  char* copy = setstr(empty);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, empty);
  EXPECT_EQ(copy[0], 0);
  std::free(copy);

  char text[] = "alpha \x95\x5C beta\n";
  copy = setstr(text);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, text);
  EXPECT_STREQ(copy, text);
  text[0] = 'X';  // the copy is private
  EXPECT_EQ(copy[0], 'a');
  std::free(copy);
}

TEST_F(MemoryTest, LimitLetsSmallerRequestsThrough) {
  set_allocation_limit_for_testing(4096);
  void* block = getmem(4096);
  ASSERT_NE(block, nullptr);
  block = moremem(block, 4096);
  ASSERT_NE(block, nullptr);
  std::free(block);
  char* copy = setstr(std::string(4095, 'x').c_str());
  ASSERT_NE(copy, nullptr);
  std::free(copy);
}

// Each failure writes its own message on the error stream and ends the
// process with status 1. getmem counts a K as 1024 bytes and begins with a
// line feed; moremem counts a K as 1000 bytes and does not; both switch to
// K above 1000 bytes.
struct FailureCase {
  const char* name;
  int routine;  // 0 getmem, 1 moremem, 2 setstr
  std::size_t size;
  const char* message;
};

const FailureCase kFailures[] = {
    {"GetmemK", 0, 5000, "\ncannot get the memory of 4 K bytes\n"},
    {"GetmemBytesAt1000", 0, 1000, "\ncannot get the memory of 1000 bytes\n"},
    {"GetmemZeroKAt1001", 0, 1001, "\ncannot get the memory of 0 K bytes\n"},
    {"GetmemSmall", 0, 64, "\ncannot get the memory of 64 bytes\n"},
    {"GetmemLarge", 0, 10u << 20, "\ncannot get the memory of 10240 K bytes\n"},
    {"MorememK", 1, 5000, "cannot get the memory of 5 K bytes\n"},
    {"MorememOneKAt1001", 1, 1001, "cannot get the memory of 1 K bytes\n"},
    {"MorememBytesAt1000", 1, 1000, "cannot get the memory of 1000 bytes\n"},
    {"MorememRoundsDown", 1, 1999, "cannot get the memory of 1 K bytes\n"},
    {"MorememLarge", 1, 10u << 20, "cannot get the memory of 10485 K bytes\n"},
    {"Setstr", 2, 5000, "cannot get memory\n"},
    {"SetstrShort", 2, 2, "cannot get memory\n"},
};

// The whole error stream, anchored at both ends.
std::string exact(const char* message) { return std::string("^") + message + "$"; }

// Kept reachable, so that a leak checker does not count it at the exit.
void* volatile block_to_resize = nullptr;

// The request fails either in the allocator or, with by_budget, because
// less than half of it is left in the budget.
[[noreturn]] void fail_allocation(const FailureCase& c, bool by_budget) {
  if (c.routine == 1) block_to_resize = getmem(16);
  if (by_budget) {
    set_memory_left_for_testing(c.size / 2);
  } else {
    set_allocation_limit_for_testing(c.size - 1);
  }
  switch (c.routine) {
    case 0:
      getmem(c.size);
      break;
    case 1:
      moremem(block_to_resize, c.size);
      break;
    default: {
      // A string whose copy (with its terminator) takes c.size bytes.
      const std::string text(c.size - 1, 'x');
      setstr(text.c_str());
      break;
    }
  }
  std::_Exit(99);  // reached only when the allocation did not fail
}

TEST_F(MemoryTest, FailuresReportAndExit) {
  for (const bool by_budget : {false, true}) {
    for (const FailureCase& c : kFailures) {
      SCOPED_TRACE(std::string(c.name) + (by_budget ? " by the budget" : ""));
      EXPECT_EXIT(fail_allocation(c, by_budget), ::testing::ExitedWithCode(1), exact(c.message));
    }
  }
}

// What the routines hold counts against the budget until it is given back;
// resizing counts the change only.
TEST_F(MemoryTest, BudgetCountsWhatIsHeld) {
  constexpr std::size_t kK = 1024;
  set_memory_left_for_testing(1024 * kK);
  freemem(getmem(600 * kK));
  void* b = moremem(getmem(100 * kK), 700 * kK);
  EXPECT_TRUE(memory_fits(300 * kK) && !memory_fits(400 * kK));
  char* copy = setstr(std::string(200 * kK, 'x').c_str());
  b = moremem(b, 100 * kK);
  EXPECT_TRUE(memory_fits(700 * kK) && !memory_fits(800 * kK));
  freemem(copy);
  freemem(b);
  EXPECT_TRUE(memory_fits(1024 * kK) && !memory_fits(1024 * kK + 1));  // exactly the budget is left
}

}  // namespace
}  // namespace qorla
