#include "support/huge_pages.h"

#include <gtest/gtest.h>

namespace qorla {
namespace {

TEST(HugePages, FreeBlocksOfAtLeastAHugePage) {
  constexpr std::size_t kPage = 4096, kHuge = std::size_t{2} << 20;
  // Orders 9 and 10 are the 2 MiB and 4 MiB blocks of 4 KiB pages.
  const std::string_view buddyinfo =
      "Node 0, zone      DMA      0      0      0      0      0      0      0      0      1      1      3 \n"
      "Node 0, zone   Normal   6809   3498   1509    960   1553   1278   1277    850    470    302    885 \n";
  const struct {
    std::string_view text;
    std::uint64_t bytes;
  } cases[] = {
      {buddyinfo, (1 + 302) * kHuge + (3 + 885) * 2 * kHuge},
      {"Node 0, zone   Normal   5 5 5 5 5 5 5 5 5\n", 0},  // nothing of order 9 or more
      {"", 0},
      {"garbage\nzone\n", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(free_huge_bytes(c.text, kPage, kHuge), c.bytes) << c.text;
}

}  // namespace
}  // namespace qorla
