#include <gtest/gtest.h>

#include "run_binary.h"

using qorla_test::run_qorla;
using qorla_test::TempDir;

TEST(Smoke, SortsWholeLines) {
  TempDir dir;
  const std::string f = dir.write("a.txt", "pear\napple\nfig\n");
  const auto r = run_qorla({f});
  EXPECT_EQ(r.out, "apple\nfig\npear\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
}
