#include "setup/files/axis_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/profile/profile.h"
#include "tests/support/test_environment.h"

namespace velkor::setup {
namespace {

namespace fs = std::filesystem;

using testing::ReadFile;
using testing::WriteFile;

class AxisFileTest : public ::testing::Test {
 protected:
  fs::path File(const std::string& name) const { return folder_ / name; }
  testing::TemporaryFolder folder_;
};

// Every kind of field away from its default, including texts that are no
// numbers and motor values that do not match their user values.
AxisSettings Unusual() {
  AxisSettings settings;
  settings.encCounts = "4000";
  settings.userCounts = "3";
  settings.unit = Unit::Inch;
  settings.functions[3] = {Mode::Torque, "-55.5", "12", "abc", true, "-568", "77", "999"};
  settings.functions[15] = {Mode::Reset, "1e3", "2.", "", false, "x", "-1", "0"};
  settings.gains[6] = "-2000000";
  settings.limits[9] = "12.25";
  settings.motorLimits[9] = "16333";
  settings.options = {2, true, true, 1, true, true};
  settings.motorInfo = {"M-17", "SN123", "5.1", "4000", "2", "", "", ""};
  return settings;
}

TEST_F(AxisFileTest, OpenAfterSaveRestoresEveryFieldLabelAndOption) {
  const AxisSettings saved = Unusual();
  ASSERT_EQ(SaveAxisFile(saved, File("a.adf")), std::nullopt);
  const OpenedAxisFile opened = OpenAxisFile(File("a.adf"));
  ASSERT_TRUE(opened.settings) << opened.error;
  EXPECT_TRUE(opened.warnings.empty());
  AxisSettings expected = saved;
  expected.motorInfo = {};  // the motor's section is written, never read
  EXPECT_EQ(*opened.settings, expected);
  EXPECT_EQ(opened.reportedEncoderRes, "4000");
  // The motor's section comes first, then the keys in the order the file has always had.
  const std::string text = ReadFile(File("a.adf"));
  EXPECT_EQ(text.find("[SN123]\nModel=M-17\nFirmware=5.1\nEncoderRes=4000\nAddress=2\n"), 0u) << text;
  EXPECT_LT(text.find("Mode(15)="), text.find("Data(0)="));
  EXPECT_LT(text.find("MotorAcc(15)="), text.find("[PIDValues]"));
  EXPECT_NE(text.find("[OtherOps]\nPowerUpOps=12\nFaultOps=1\nHomeOps=26\n"), std::string::npos) << text;
}

TEST_F(AxisFileTest, SavingOverAFileKeepsWhatItDoesNotWrite) {
  const fs::path path = File("b.adf");
  WriteFile(path, "; notes by hand\n[Machine]\nOwner=Line 4\n[ScaleFactor]\nEncCounts=1\nComment=kept\n");
  ASSERT_EQ(SaveAxisFile(AxisSettings(), path), std::nullopt);
  EXPECT_EQ(profile::GetProfileString("Machine", "Owner", "", path), "Line 4");
  EXPECT_EQ(profile::GetProfileString("ScaleFactor", "Comment", "", path), "kept");
  EXPECT_EQ(profile::GetProfileString("ScaleFactor", "EncCounts", "", path), "2000");
  EXPECT_EQ(ReadFile(path).rfind("; notes by hand", 0), 0u);
}

TEST_F(AxisFileTest, AbsentKeysReadAsZeroAndUnusableValuesAreSaid) {
  const fs::path path = File("c.adf");
  WriteFile(path, "[MotionPresets]\nMode(2)=9\nData(2)=twelve\nNoGo(1)=1\n[OtherOps]\nHomeOps=3\n");
  const OpenedAxisFile opened = OpenAxisFile(path);
  ASSERT_TRUE(opened.settings);
  const AxisSettings& settings = *opened.settings;
  EXPECT_EQ(settings.encCounts, "0");
  EXPECT_EQ(settings.gains[0], "0");
  EXPECT_EQ(settings.functions[2].mode, Mode::Absolute);
  EXPECT_EQ(settings.functions[2].data, "twelve");  // caught at the next edit, not here
  EXPECT_TRUE(settings.functions[1].noGo);
  EXPECT_EQ(settings.options.homeMethod, 1);
  EXPECT_EQ(settings.Bytes().home, 2);
  ASSERT_EQ(opened.warnings.size(), 2u);
  EXPECT_NE(opened.warnings[0].find("Mode(2)"), std::string::npos);
  EXPECT_NE(opened.warnings[1].find("option bytes"), std::string::npos);
  // A scale of "0" must not divide by zero anywhere.
  EXPECT_EQ(settings.CurrentScale().encCounts, 2000);
}

TEST_F(AxisFileTest, FailuresAreToldAndLeaveTheOldFile) {
  EXPECT_NE(OpenAxisFile(File("missing.adf")).error.find("no such file"), std::string::npos);
  const auto noFolder = SaveAxisFile(AxisSettings(), File("gone/x.adf"));
  ASSERT_TRUE(noFolder);
  EXPECT_NE(noFolder->find("folder does not exist"), std::string::npos);

  const fs::path path = File("kept.adf");
  ASSERT_EQ(SaveAxisFile(AxisSettings(), path), std::nullopt);
  const std::string before = ReadFile(path);
  AxisSettings broken;
  broken.functions[0].data = "1\n[Evil]";  // no line of the file may be forged
  EXPECT_TRUE(SaveAxisFile(broken, path));
  EXPECT_EQ(ReadFile(path), before);
  if (geteuid() != 0) {  // root writes anywhere
    fs::permissions(folder_.path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_TRUE(SaveAxisFile(Unusual(), path));
    EXPECT_EQ(ReadFile(path), before);
    fs::permissions(folder_.path(), fs::perms::owner_all);
  }
}

TEST(AxisFileName, TakesTheExtensionOfAxisFiles) {
  EXPECT_EQ(AxisFileName("/d/axis"), "/d/axis.adf");
  EXPECT_EQ(AxisFileName("/d/axis.txt"), "/d/axis.adf");
  EXPECT_EQ(AxisFileName("/d/axis.v2.adf"), "/d/axis.v2.adf");
}

}  // namespace
}  // namespace velkor::setup
