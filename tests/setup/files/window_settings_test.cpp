#include "setup/files/window_settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "platform/profile/profile.h"

namespace velkor::setup {
namespace {

namespace fs = std::filesystem;

TEST(WindowSettings, MoveDecidesWhetherThePositionIsRestored) {
  const fs::path folder = fs::temp_directory_path() / ("window_settings_test_" + std::to_string(getpid()));
  const fs::path file = folder / "config" / "FenwaSU.ini";
  EXPECT_EQ(RestoredPosition(file), std::nullopt);  // no file: the designed place

  ASSERT_TRUE(SavePosition(file, {1440, 2880}));  // creates the folder
  EXPECT_EQ(profile::GetProfileString("Locate", "Move", "", file), "5");
  EXPECT_EQ(RestoredPosition(file), (WindowPosition{1440, 2880}));

  ASSERT_TRUE(WriteMoveState(file, MoveState::Deactivated));
  EXPECT_EQ(RestoredPosition(file), (WindowPosition{1440, 2880}));

  std::ofstream(file) << "[Locate]\nTop=1440\nLeft=2880\nMove=0\n";
  EXPECT_EQ(RestoredPosition(file), std::nullopt);
  std::ofstream(file) << "[Locate]\nTop=1440\nLeft=2880\n";
  EXPECT_EQ(RestoredPosition(file), std::nullopt);
  std::ofstream(file) << "[Locate]\nTop=high\nLeft=2880\nMove=5\n";
  EXPECT_EQ(RestoredPosition(file), std::nullopt);
  std::ofstream(file) << "[Locate]\nTop=1234.5\nLeft=-30\nMove=3\n";
  EXPECT_EQ(RestoredPosition(file), (WindowPosition{1234, -30}));
  fs::remove_all(folder);
}

}  // namespace
}  // namespace velkor::setup
