#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "platform/profile/profile.h"
#include "tests/support/test_environment.h"

namespace velkor::profile {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

TEST(ProfileText, LookUpsFollowThePlatform) {
  const ProfileText profile = ProfileText::Parse(
      "stray=before any section\n"
      "[Locate]\n"
      "  Top =  1440.5  \n"
      "Quoted=\"  spaced  \"\n"
      "Half=\"open\n"
      "Empty=\n"
      "Equals=a=b\n"
      "; Left=commented out\n"
      "NoValue\n"
      "top=second Top is hidden\n"
      "[ Other ]\n"
      "Top=other\n"
      "[locate]\n"
      "Left=in a repeated section\n");
  EXPECT_EQ(profile.Get("LOCATE", "top"), "1440.5");
  EXPECT_EQ(profile.Get("Locate", "Quoted"), "  spaced  ");
  EXPECT_EQ(profile.Get("Locate", "Half"), "\"open");
  EXPECT_EQ(profile.Get("Locate", "Empty"), "");
  EXPECT_EQ(profile.Get("Locate", "Equals"), "a=b");
  EXPECT_EQ(profile.Get("Locate", "Left"), std::nullopt);
  EXPECT_EQ(profile.Get("Locate", "NoValue"), std::nullopt);
  EXPECT_EQ(profile.Get("Other", "Top"), "other");
  EXPECT_EQ(profile.Get("", "stray"), std::nullopt);
  EXPECT_EQ(profile.Sections(), (Names{"Locate", "Other"}));
  EXPECT_EQ(profile.Keys("locate"), (Names{"Top", "Quoted", "Half", "Empty", "Equals"}));
}

TEST(ProfileText, UpdatesKeepEveryOtherLineAndAdditionsLandInTheirSection) {
  ProfileText profile = ProfileText::Parse(
      "; window settings\n[Locate]\nTop = 100\n; the left edge\nLeft=200\n\n"
      "; about the next one\n[Other]\nx=1");  // no line end at the end of the file
  ASSERT_TRUE(profile.Set("locate", "TOP", "300"));
  ASSERT_TRUE(profile.Set("Locate", "Move", "5"));
  ASSERT_TRUE(profile.Set("Other", "X", "9"));
  ASSERT_TRUE(profile.Set("Other", "y", "2"));
  ASSERT_TRUE(profile.Set("New", "z", "3"));
  EXPECT_EQ(profile.Text(),
            "; window settings\n[Locate]\nTop = 300\n; the left edge\nLeft=200\nMove=5\n\n"
            "; about the next one\n[Other]\nx=9\ny=2\n\n"
            "[New]\nz=3");

  ProfileText headerOnly = ProfileText::Parse("[Empty]\n[Next]\n");
  ASSERT_TRUE(headerOnly.Set("Empty", "k", "v"));
  EXPECT_EQ(headerOnly.Text(), "[Empty]\nk=v\n[Next]\n");
}

TEST(ProfileText, DeletionOfKeysAndSections) {
  ProfileText profile = ProfileText::Parse("[A]\nx=1\ny=2\n\n[B]\nz=3\n[a]\nw=4\n[C]\n");
  EXPECT_TRUE(profile.Erase("a", "X"));
  EXPECT_FALSE(profile.Erase("A", "x"));
  EXPECT_FALSE(profile.Erase("Missing", "x"));
  EXPECT_EQ(profile.Text(), "[A]\ny=2\n\n[B]\nz=3\n[a]\nw=4\n[C]\n");
  EXPECT_TRUE(profile.EraseSection("A"));
  EXPECT_EQ(profile.Text(), "[B]\nz=3\n[C]\n");
  EXPECT_FALSE(profile.EraseSection("A"));
}

TEST(ProfileText, NamesAndValuesThatWouldNotReadBackAreRefused) {
  ProfileText profile = ProfileText::Parse("[A]\nx=1\n");
  EXPECT_FALSE(profile.Set("A", "x", "1\n[Forged]\nk=v"));
  EXPECT_FALSE(profile.Set("A", "k=v", "1"));
  EXPECT_FALSE(profile.Set("A", ";k", "1"));
  EXPECT_FALSE(profile.Set("A", "", "1"));
  EXPECT_FALSE(profile.Set("A]x", "k", "1"));
  EXPECT_FALSE(profile.Set("", "k", "1"));
  EXPECT_FALSE(profile.Set("A\nB", "k", "1"));
  EXPECT_EQ(profile.Text(), "[A]\nx=1\n");
}

using ::velkor::testing::ReadFile;

class ProfileFiles : public ::testing::Test {
 protected:
  ::velkor::testing::TemporaryFolder folder_;
  const fs::path file_ = folder_ / "FenwaSU.ini";
};

TEST_F(ProfileFiles, AMissingFileReadsAsDefaultsAndIsCreatedByAWrite) {
  EXPECT_EQ(GetProfileString("Locate", "Move", "0", file_), "0");
  EXPECT_TRUE(GetProfileSections(file_).empty());
  EXPECT_TRUE(WriteProfileString("Locate", "Move", std::nullopt, file_));  // nothing to delete
  EXPECT_FALSE(fs::exists(file_));

  ASSERT_TRUE(WriteProfileString("Locate", "Top", "1440", file_));
  ASSERT_TRUE(WriteProfileString("Locate", "Left", "720", file_));
  ASSERT_TRUE(WriteProfileString("Locate", "Move", "5", file_));
  EXPECT_EQ(ReadFile(file_), "[Locate]\nTop=1440\nLeft=720\nMove=5\n");
  EXPECT_EQ(GetProfileString("locate", "move", "0", file_), "5");
  EXPECT_EQ(GetProfileKeys("Locate", file_), (Names{"Top", "Left", "Move"}));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_.path()), {}), 1);  // no temporary file left behind
}

// Byte-order mark and CR LF line ends stay, and new lines get them too.
TEST_F(ProfileFiles, RewritesKeepTheRestOfTheFile) {
  ::velkor::testing::WriteFile(file_, "\xEF\xBB\xBF; kept\r\n[Model]\r\nUnknown=stays\r\n\r\n[Locate]\r\nMove=2\r\n");
  fs::permissions(file_, fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_TRUE(WriteProfileString("Locate", "Move", "5", file_));
  ASSERT_TRUE(WriteProfileString("Locate", "Top", "10", file_));
  ASSERT_TRUE(WriteProfileString("Model", "Unknown", std::nullopt, file_));
  ASSERT_TRUE(WriteProfileString("More", "Left", "3", file_));
  EXPECT_EQ(ReadFile(file_),
            "\xEF\xBB\xBF; kept\r\n[Model]\r\n\r\n[Locate]\r\nMove=5\r\nTop=10\r\n\r\n[More]\r\nLeft=3\r\n");
  ASSERT_TRUE(DeleteProfileSection("model", file_));
  EXPECT_EQ(ReadFile(file_), "\xEF\xBB\xBF; kept\r\n[Locate]\r\nMove=5\r\nTop=10\r\n\r\n[More]\r\nLeft=3\r\n");
  EXPECT_EQ(fs::status(file_).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(ProfileFiles, WritesThatCannotHappenReportIt) {
  EXPECT_FALSE(WriteProfileString("Locate", "Top", "1", folder_ / "Axis Data Files" / "a.adf"));
  EXPECT_FALSE(WriteProfileString("Locate", "Top", "1\r\nMove=0", file_));
  EXPECT_FALSE(fs::exists(file_));
  fs::create_directory(file_);  // a folder where the file should be
  EXPECT_FALSE(WriteProfileString("Locate", "Top", "1", file_));
  EXPECT_EQ(GetProfileString("Locate", "Top", "none", file_), "none");
}

TEST_F(ProfileFiles, ThreadsWritingOneFileKeepEachOthersKeys) {
  std::vector<std::thread> writers;
  for (int writer = 0; writer < 4; ++writer)
    writers.emplace_back([this, writer] {
      for (int i = 0; i < 10; ++i) WriteProfileString("W" + std::to_string(writer), "K" + std::to_string(i), "", file_);
    });
  for (auto& writer : writers) writer.join();
  for (int writer = 0; writer < 4; ++writer) EXPECT_EQ(GetProfileKeys("W" + std::to_string(writer), file_).size(), 10u);
}

}  // namespace
}  // namespace velkor::profile
