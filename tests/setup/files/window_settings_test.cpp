#include "setup/files/window_settings.h"

#include <gtest/gtest.h>

#include "platform/profile/profile.h"
#include "tests/support/test_environment.h"

namespace velkor::setup {
namespace {

namespace fs = std::filesystem;

TEST(WindowSettings, MoveDecidesWhetherThePositionIsRestored) {
  const testing::TemporaryFolder folder;
  const fs::path file = folder / "config/FenwaSU.ini";
  EXPECT_EQ(RestoredPosition(file), std::nullopt);  // no file: the designed place

  ASSERT_TRUE(SavePosition(file, {1440, 2880}));  // creates the folder
  EXPECT_EQ(profile::GetProfileString("Locate", "Move", "", file), "5");
  EXPECT_EQ(RestoredPosition(file), (WindowPosition{1440, 2880}));

  ASSERT_TRUE(WriteMoveState(file, MoveState::Deactivated));
  EXPECT_EQ(RestoredPosition(file), (WindowPosition{1440, 2880}));

  testing::WriteFile(file, "[Locate]\nTop=1440\nLeft=2880\nMove=0\n");
  EXPECT_EQ(RestoredPosition(file), std::nullopt);
  testing::WriteFile(file, "[Locate]\nTop=1440\nLeft=2880\n");
  EXPECT_EQ(RestoredPosition(file), std::nullopt);
  testing::WriteFile(file, "[Locate]\nTop=high\nLeft=2880\nMove=5\n");
  EXPECT_EQ(RestoredPosition(file), std::nullopt);
  testing::WriteFile(file, "[Locate]\nTop=1234.5\nLeft=-30\nMove=3\n");
  EXPECT_EQ(RestoredPosition(file), (WindowPosition{1234, -30}));
}

}  // namespace
}  // namespace velkor::setup
