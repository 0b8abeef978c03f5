#include "support/memory_budget.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/resource.h>

namespace qorla {
namespace {

constexpr std::uint64_t kKiB = 1024, kMiB = kKiB << 10, kNone = kNoLimit;

TEST(MemoryBudget, Sources) {
  const std::pair<const char*, std::uint64_t> meminfo[] = {
      {"MemFree: 5 kB\nMemAvailable:    2048 kB\nSwapTotal: 9 kB\nSwapFree:   1024 kB\n", 3 * kMiB},
      {"SwapFree: 1 kB\nMemAvailable:\t7 kB", 8 * kKiB}, {"MemAvailable: 4 kB\nSwapFree: junk\n", 4 * kKiB},
      {"MemFree: 2048 kB\nSwapFree: 1024 kB\n", kNone}, {"MemAvailableX: 5 kB\nXMemAvailable: 6 kB\n", kNone},
      {"MemAvailable: 12x kB\n", kNone}, {"MemAvailable: 2048\n", kNone}, {"MemAvailable: -5 kB\n", kNone},
      {"MemAvailable: 18014398509481984 kB\n", kNone}, {"", kNone}};  // 2^54 kB: bytes past 64 bits
  for (const auto& [text, bytes] : meminfo) EXPECT_EQ(meminfo_headroom(text), bytes) << text;
  const char* stat = "active_file 5\ninactive_file 10485760\ntotal_inactive_file 31457280\n";
  const struct { const char *limit, *usage, *stat; std::uint64_t v1, v2; } cgroup[] = {
      {"104857600\n", "52428800\n", "", 50 * kMiB, 50 * kMiB}, {"104857600", "104857601", "", 0, 0},
      {"104857600\n", "83886080\n", stat, 50 * kMiB, 30 * kMiB},  // inactive file cache not counted
      {"104857600\n", "5242880\n", stat, 100 * kMiB, 100 * kMiB},
      {"max\n", "52428800\n", "", kNone, kNone}, {"9223372036854771712\n", "0\n", "", kNone, 9223372036854771712u},
      {"104857600\n", "5 6\n", "", 100 * kMiB, 100 * kMiB},  // usage unreadable
      {"", "52428800\n", "", kNone, kNone}, {"-1\n", "0\n", "", kNone, kNone}, {"12 MB\n", "0", "", kNone, kNone}};
  for (const auto& c : cgroup) {
    EXPECT_EQ(cgroup_v1_headroom(c.limit, c.usage, c.stat), c.v1) << c.limit << " / " << c.usage;
    EXPECT_EQ(cgroup_v2_headroom(c.limit, c.usage, c.stat), c.v2) << c.limit << " / " << c.usage;
  }
  const char* status = "Name:\tqorla\nVmPeak:\t 9000 kB\nVmSize:\t    3060 kB\nVmData:\t     360 kB\n";
  const struct { std::uint64_t limit; const char *text, *field; std::uint64_t bytes; } rlimits[] = {
      {100 * kMiB, status, "VmSize", 100 * kMiB - 3060 * kKiB}, {kMiB, status, "VmData", kMiB - 360 * kKiB},
      {kMiB, status, "VmSize", 0}, {kMiB, "VmSize: 5\n", "VmSize", kMiB}, {kNone, status, "VmSize", kNone}};
  for (const auto& c : rlimits) EXPECT_EQ(rlimit_headroom(c.limit, c.text, c.field), c.bytes) << c.limit;
  const struct { const char *text, *v1, *v2; } paths[] = {
      {"9:name=systemd:/\n4:memory:/process_api/2eca\n0::/\n", "/process_api/2eca", "/"},
      {"5:cpu,memory,pids:/a\n6:memoryx:/b\n7::/c\n0:cpu:/d\n", "/a", ""},
      {"4:memory:/odd:name\n0::/x:y", "/odd:name", "/x:y"}, {"4:memory\n0:\n4:memory:relative\n", "", ""}};
  for (const auto& c : paths) {
    EXPECT_EQ(cgroup_v1_memory_path(c.text), c.v1) << c.text;
    EXPECT_EQ(cgroup_v2_path(c.text), c.v2) << c.text;
  }
}

TEST(MemoryBudget, SlackFloorAndThisProcess) {
  EXPECT_EQ(budget_from_headroom(kBudgetFloor + 1), kBudgetFloor);
  EXPECT_EQ(budget_from_headroom(std::uint64_t{64} << 30), std::uint64_t{63} << 30);
  // A data limit 64 MiB above what this process uses leaves that, less the slack.
  std::ifstream file("/proc/self/status");
  const auto data = kb_field(std::string(std::istreambuf_iterator<char>(file), {}), "VmData");
  rlimit saved{};
  ASSERT_TRUE(data && getrlimit(RLIMIT_DATA, &saved) == 0);
  const rlimit limit{*data + 64 * kMiB, saved.rlim_max};
  if (setrlimit(RLIMIT_DATA, &limit) != 0) GTEST_SKIP() << "RLIMIT_DATA cannot be set here";
  const std::uint64_t budget = work_out_memory_budget();
  setrlimit(RLIMIT_DATA, &saved);
  EXPECT_TRUE(budget <= 63 * kMiB && budget >= 62 * kMiB) << budget;
}

}  // namespace
}  // namespace qorla
