#include <gtest/gtest.h>

#include "engine/host/version.h"

TEST(EngineVersion, ComesFromTheProductVersion) {
  EXPECT_EQ(velkor::engine::ProductVersion(), "2, 1, 1, 2");
  EXPECT_EQ(velkor::engine::EngineVersionFrom("2, 1, 1, 2"), 0x02010102);
  EXPECT_EQ(velkor::engine::EngineVersionFrom("9, 0, 3, 7"), 0x09000307);
  EXPECT_EQ(velkor::engine::EngineVersionFrom("2, 1, 10, 2"), 0) << "another length gives 0";
  EXPECT_EQ(velkor::engine::EngineVersionFrom(""), 0);
}
