// Settings to a simulated motor and back, through the engine as the setup
// application uses it; pauses recorded, not spent.

#include <gtest/gtest.h>

#include "engine/compiler/compiler.h"
#include "setup/files/axis_file.h"
#include "setup/transfer/engine_channel.h"
#include "setup/transfer/settings_backup.h"
#include "setup/transfer/settings_download.h"
#include "setup/transfer/settings_upload.h"
#include "setup/transfer/text_record.h"
#include "tests/engine/motor/motor_fixture.h"
#include "tests/setup/recording_view.h"

namespace velkor::setup {
namespace {

using std::chrono::milliseconds;


class SettingsTransferTest : public engine::testing::SimulatedBus {
 protected:
  void SetUp() override {
    Start("motor address=1 baud=38400\n", 1);
    channel_ = std::make_unique<EngineChannel>(host_, 1);
    ASSERT_TRUE(channel_->Ready());
    engine::compiler::Compiler compiler;
    compiler.Compile("a=1\nEND\n");
    program_ = folder_.path() / "Fenwa.vqx";
    ::velkor::testing::WriteFile(program_, compiler.Image());
  }
  DownloadOutcome Download(const AxisSettings& settings, const std::string& file = "x-axis.adf") {
    DownloadRequest request{program_, "7", file, "12/07/2026:10:30:00"};
    return SettingsDownload(settings, request, *channel_, clock_, view_);
  }
  std::int32_t Long(int address) {
    std::uint32_t value = 0;
    for (int k = 0; k < 4; ++k) value = value << 8 | MemoryByte(0, address + k);
    return static_cast<std::int32_t>(value);
  }
  std::int32_t Word(int address) { return static_cast<std::int16_t>(MemoryByte(0, address) << 8 | MemoryByte(0, address + 1)); }

  // Every kind of field away from its default, as the input rules leave them.
  static AxisSettings Configured() {
    AxisSettings settings;
    settings.unit = Unit::Inch;
    settings.functions[3] = {Mode::Relative, "12.345", "2.5", "40", true, "", "", ""};
    settings.functions[7] = {Mode::Torque, "-55", "0", "10", false, "", "", ""};
    settings.gains = {"60", "30", "600", "5", "6", "25", "-2000000"};
    settings.limits[4] = "1.5";
    settings.limits[9] = "-0.25";
    settings.options = {1, true, true, 2, true, false};
    settings.RecomputeAll();
    settings.motorInfo[3] = settings.encoderResText;
    return settings;
  }

  std::unique_ptr<EngineChannel> channel_;
  std::filesystem::path program_;
  RecordingClock clock_;
  testing::RecordingView view_;
  ::velkor::testing::TemporaryFolder folder_;
};

TEST_F(SettingsTransferTest, DownloadWritesTheDataBlockAndUploadGivesTheModelBack) {
  const AxisSettings settings = Configured();
  const DownloadOutcome outcome = Download(settings);
  ASSERT_TRUE(outcome.complete) << outcome.failure;
  EXPECT_TRUE(outcome.programLoaded);
  EXPECT_EQ(Long(100), 123);
  EXPECT_EQ(Long(5000 + 12 * 3), 12345) << "Data times 10^DecPlaces";
  EXPECT_EQ(Long(5000 + 12 * 3 + 4), 2500);
  EXPECT_EQ(Long(15000), 1000) << "LimVal 0 never scaled";
  EXPECT_EQ(Long(15000 + 4 * 4), 1500);
  EXPECT_EQ(Long(500 + 12 * 3), std::stoi(settings.functions[3].motorData));
  EXPECT_EQ(Word(500 + 12 * 3 + 8), std::stoi(settings.functions[3].motorAcc));
  EXPECT_EQ(MemoryByte(0, 500 + 12 * 3 + 10), 1);  // mode
  EXPECT_EQ(MemoryByte(0, 500 + 12 * 3 + 11), 1);  // NoGo
  EXPECT_EQ(Long(500 + 12 * 7), -563) << "-55 % torque";
  EXPECT_EQ(Word(200), 2000);
  EXPECT_EQ(Word(202), 1);
  EXPECT_EQ(Long(200 + 4 * (33 - 26)), -2000000) << "KG";
  EXPECT_EQ(Long(200 + 4 * (43 - 26)), (2 | 8) << 24 | 1 << 16 | 0xFF << 8 | (4 | 8)) << "PowerUpOps FaultOps -1 HomeOps";
  EXPECT_EQ(MemoryByte(0, 272), 2) << "UnitsIndex";
  EXPECT_EQ(Long(200 + 4 * (48 - 26)), std::stoi(settings.motorLimits[9]));
  EXPECT_EQ(Long(25000), 'x');
  EXPECT_EQ(view_.status.back(), "Download Complete");
  // Every pause the sequence prescribes, and nothing else.
  EXPECT_EQ(clock_.Total(), milliseconds(1680 + 320 + 4240 + 10 + 105 + 45 + 25 + 800 + 55 + 1000 + 1640));

  // The program is in place now: the next download leaves it alone.
  EXPECT_FALSE(Download(settings).programLoaded);

  AxisSettings before;  // another axis on screen, the same decimals
  before.decPlaces = settings.decPlaces;
  const UploadOutcome uploaded = SettingsUpload(before, UploadRequest{"7"}, *channel_, clock_, view_);
  ASSERT_TRUE(uploaded.settings) << uploaded.failure;
  AxisSettings expected = settings;
  expected.changesMade = true;
  expected.motorInfo = before.motorInfo;
  EXPECT_EQ(*uploaded.settings, expected);
  EXPECT_EQ(view_.status.back(), "Upload Complete");
}

TEST_F(SettingsTransferTest, ValuesThatDoNotFitTheirFieldsEndAsAFailureThatSaysWhich) {
  AxisSettings settings = Configured();
  settings.encCounts = "65535";
  ASSERT_TRUE(Download(settings).complete);
  EXPECT_EQ(static_cast<std::uint16_t>(Word(200)), 65535);
  settings.encCounts = "65536";
  ASSERT_TRUE(Download(settings).complete);
  EXPECT_EQ(Word(200), 11111);
  EXPECT_EQ(Long(190), 65536);
  const UploadOutcome large = SettingsUpload(AxisSettings(), UploadRequest{"7"}, *channel_, clock_, view_);
  ASSERT_TRUE(large.settings);
  EXPECT_EQ(large.settings->encCounts, "65536");

  settings.userCounts = "32768";  // from a file: the input rules would refuse it
  const DownloadOutcome outcome = Download(settings);
  EXPECT_FALSE(outcome.complete);
  EXPECT_NE(outcome.failure.find("UserCounts 32768 does not fit aw[53]"), std::string::npos) << outcome.failure;
  EXPECT_EQ(Long(100), -1) << "the motor says it holds no valid data";
  EXPECT_EQ(view_.status.back(), "Download Failure");
  const UploadOutcome none = SettingsUpload(AxisSettings(), UploadRequest{"7"}, *channel_, clock_, view_);
  EXPECT_FALSE(none.settings);
  ASSERT_TRUE(none.noData);
  EXPECT_EQ(*none.noData, (Message{"Motor 1 on Com7 Has No Data Stored.", "No Data In Motor ", Icon::Exclamation}));
}

TEST_F(SettingsTransferTest, ABackupKeepsWhatTheMotorHeldAndNothingWhenItHeldNone) {
  const auto folder = folder_.path() / "backups";
  EXPECT_FALSE(BackUpMotorSettings(AxisSettings(), folder, "A1001", "7", *channel_, clock_).file) << "no data yet";
  const AxisSettings settings = Configured();
  ASSERT_TRUE(Download(settings).complete);
  const BackupOutcome backup = BackUpMotorSettings(settings, folder, "A 10/01", "7", *channel_, clock_);
  ASSERT_TRUE(backup.file) << backup.failure;
  EXPECT_EQ(backup.file->parent_path(), folder);
  EXPECT_TRUE(backup.file->filename().string().starts_with("A1001-")) << "no blank or slash in a file name";
  const OpenedAxisFile kept = OpenAxisFile(*backup.file);
  ASSERT_TRUE(kept.settings);
  EXPECT_EQ(kept.settings->functions, settings.functions);
  EXPECT_EQ(kept.settings->motorLimits, settings.motorLimits);
}

TEST_F(SettingsTransferTest, TextRecordsKeepUpToTwentySixCharacters) {
  for (const std::string& text : {std::string(), std::string(26, 'q'), std::string("abcdefghijklmnopqrstuvwxyz!")}) {
    Sent();
    ASSERT_TRUE(StoreText(text, 25000, *channel_, clock_));
    const engine::testing::Lines sent = Sent();
    const bool addressed = std::any_of(sent.begin(), sent.end(), [](const std::string& l) { return l.starts_with("@1 al["); });
    EXPECT_EQ(addressed, !text.empty()) << "only a character's command carries the address";
    EXPECT_EQ(LoadText(25000, *channel_, clock_), text.substr(0, 26));
  }
  EXPECT_EQ(ExpectedProgramChecksum(program_)->size(), 15u);
}

}  // namespace
}  // namespace velkor::setup
