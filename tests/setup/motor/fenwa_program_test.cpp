// The motor program Fenwa.vqx in a simulated motor that moves a load: the
// settings go in through the setup application's download, the inputs and
// the PC's test moves drive it, and the shaft shows what it did.

#include <gtest/gtest.h>

#include "setup/live/status_monitor.h"
#include "setup/live/test_moves.h"
#include "setup/transfer/engine_channel.h"
#include "setup/transfer/settings_download.h"
#include "tests/engine/motor/motor_fixture.h"
#include "tests/setup/recording_view.h"

namespace velkor::setup {
namespace {

using namespace std::chrono_literals;

constexpr double kCounts = 2000;  // counts per mm, the screen's default scale

// Variables the program keeps: f the fault code, e the last fault, h homed,
// q settings loaded.
std::int32_t Var(const sim::Firmware& motor, const char* name) { return motor.Vars().Get(*sim::Variables::Parse(name)); }
// Pins E (Busy) and F (Fault) are active low, like the inputs.
bool PinActive(const sim::Firmware& motor, char pin) { return ((motor.Inputs() >> (pin - 'A')) & 1) == 0; }

class FenwaProgramTest : public engine::testing::SimulatedBus {
 protected:
  // One motor whose load has `mechanics` (scenario keys). It holds the
  // program already, as after an earlier download, unless `programmed` is
  // false: the download then takes only the settings, which is quicker.
  void Power(const std::string& mechanics = "hardstops=-4000,104000", bool programmed = true) {
    Start("motor address=1 baud=38400 resolution=4000 " + mechanics + "\n", 1);
    channel_ = std::make_unique<EngineChannel>(host_, 1);
    ASSERT_TRUE(channel_->Ready());
    if (programmed) {
      const std::string image = ::velkor::testing::ReadFile(VELKOR_FENWA_PROGRAM);
      simulator_->WithMotor(0, 0, [&](sim::Firmware& m) { return m.LoadImage(image, false); });
    }
  }
  // Functions at 10 mm/s and 200 mm/s^2; homing at 5 mm/s, backing off 0.5 mm.
  static AxisSettings Axis() {
    AxisSettings settings;
    settings.encoderResText = "4000";
    settings.motorInfo[3] = "4000";
    settings.options.powerUp = 2;  // manual: the first Go sets zero
    settings.options.homeMethod = 1;
    for (auto& function : settings.functions) function = {Mode::Absolute, "0", "10", "200", false, "", "", ""};
    settings.limits[4] = "0.5";
    settings.limits[5] = "5";
    settings.limits[6] = "200";
    return settings;
  }
  DownloadOutcome Download(AxisSettings settings) {
    settings.RecomputeAll();
    RecordingClock clock;
    testing::RecordingView view;
    return SettingsDownload(settings, {VELKOR_FENWA_PROGRAM, "1", "axis.adf", "12/07/2026:09:00:00"}, *channel_, clock,
                            view);
  }
  // The download, then RUN as the window's button sends it.
  void Install(const AxisSettings& settings) {
    const DownloadOutcome outcome = Download(settings);
    ASSERT_TRUE(outcome.complete) << outcome.failure;
    channel_->Write("END STACK RUN");
    // Its start-up ends showing "not faulted" on F, once it has read Go.
    ASSERT_TRUE(Await([](const sim::Firmware& m) { return Var(m, "q") == 1 && PinActive(m, 'F'); }));
  }
  // Inputs D C B A show `function` and G is Go, all active low.
  void Inputs(int function, bool go) {
    simulator_->WithMotor(0, 0, [&](sim::Firmware& m) {
      for (int bit = 0; bit < 4; ++bit) m.SetInput(static_cast<char>('A' + bit), ((function >> bit) & 1) == 0);
      m.SetInput('G', !go);
    });
  }
  // Go let go, until the program has seen it (p, its Go level of the last pass).
  void Release(int function) {
    Inputs(function, false);
    EXPECT_TRUE(Await([](const sim::Firmware& m) { return Var(m, "p") == 1; }));
  }
  template <class Check>
  bool Await(Check check, std::chrono::milliseconds timeout = 5s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      if (simulator_->WithMotor(0, 0, [&](sim::Firmware& m) { return check(std::as_const(m)); })) return true;
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(5ms);
    }
  }
  // The move has ended with the shaft at `counts` on the axis.
  bool Settles(double counts, double within = 1) {
    return Await([&](const sim::Firmware& m) {
      return !*m.Status('t') && std::abs(m.Shaft().Physical() - counts) <= within;
    });
  }
  template <class Read>
  auto Motor(Read read) {
    return simulator_->WithMotor(0, 0, [&](sim::Firmware& m) { return read(std::as_const(m)); });
  }
  void FirstGoSetsZero() {
    Inputs(0, true);
    ASSERT_TRUE(Await([](const sim::Firmware& m) { return Var(m, "h") == 1; }));
    Release(0);
  }

  std::unique_ptr<EngineChannel> channel_;
};

TEST_F(FenwaProgramTest, WithoutSettingsNothingMovesAndTheFaultShows) {
  Power("", false);
  AxisSettings settings = Axis();
  settings.userCounts = "32768";  // fails after the program went in: the motor holds no valid data
  const DownloadOutcome failed = Download(settings);
  ASSERT_FALSE(failed.complete);
  EXPECT_TRUE(failed.programLoaded);
  channel_->Write("END STACK RUN");
  Inputs(3, true);
  std::this_thread::sleep_for(300ms);
  Motor([](const sim::Firmware& m) {
    EXPECT_FALSE(m.ProgramRunning());
    EXPECT_EQ(Var(m, "f"), 1);
    EXPECT_FALSE(PinActive(m, 'F')) << "Fault is active only when not faulted";
    EXPECT_EQ(m.Mode(), 'O');
    EXPECT_EQ(m.Shaft().Physical(), 0);
    return 0;
  });
  // The motor's checksum of the program it holds is the one the file promises.
  settings.userCounts = "1";
  const DownloadOutcome again = Download(settings);
  EXPECT_TRUE(again.complete);
  EXPECT_FALSE(again.programLoaded);
}

TEST_F(FenwaProgramTest, PositionAndVelocityStayWithinTheTravelLimitsAndTorqueBeyondThemFaults) {
  Power();
  AxisSettings settings = Axis();
  settings.functions[1] = {Mode::Absolute, "2", "10", "200", false, "", "", ""};
  settings.functions[2] = {Mode::Relative, "-1.5", "10", "200", false, "", "", ""};
  settings.functions[3] = {Mode::Absolute, "5", "10", "200", false, "", "", ""};
  settings.functions[4] = {Mode::Velocity, "0", "-10", "200", false, "", "", ""};
  settings.functions[5] = {Mode::Velocity, "0", "10", "200", false, "", "", ""};
  settings.functions[6] = {Mode::Torque, "20", "0", "0", false, "", "", ""};
  settings.limits[7] = "3";
  settings.limits[8] = "-1";
  Install(settings);
  FirstGoSetsZero();
  EXPECT_EQ(Motor([](const sim::Firmware& m) { return m.Shaft().Physical(); }), 0) << "the first Go only sets zero";

  Inputs(1, true);
  EXPECT_TRUE(Await([](const sim::Firmware& m) { return *m.Status('t') && PinActive(m, 'E'); })) << "Busy";
  EXPECT_TRUE(Settles(2 * kCounts));
  EXPECT_TRUE(Await([](const sim::Firmware& m) { return !PinActive(m, 'E') && PinActive(m, 'F'); })) << "done, no fault";
  Inputs(2, true);  // a new selection while Go is held
  EXPECT_TRUE(Settles(0.5 * kCounts));
  Inputs(3, true);
  EXPECT_TRUE(Settles(3 * kCounts)) << "clamped to the positive travel limit";
  Inputs(4, true);
  EXPECT_TRUE(Settles(-1 * kCounts)) << "a velocity move stops at the negative limit";
  Inputs(5, true);
  EXPECT_TRUE(Settles(3 * kCounts));
  Inputs(4, true);
  EXPECT_TRUE(Settles(-1 * kCounts));
  Inputs(6, true);  // torque knows no target: past the limit it is a fault
  EXPECT_TRUE(Await([](const sim::Firmware& m) {
    return Var(m, "f") == 4 && m.Mode() == 'B' && !PinActive(m, 'F') && m.Shaft().Physical() > 3 * kCounts;
  })) << "dynamic brake";
}

TEST_F(FenwaProgramTest, ContinuousFunctionsRunWhileGoIsHeldAndStopAsTheirNoGoSays) {
  Power();
  AxisSettings settings = Axis();
  settings.functions[1] = {Mode::Velocity, "0", "10", "200", false, "", "", ""};
  settings.functions[2] = {Mode::Torque, "20", "0", "0", false, "", "", ""};
  settings.functions[3] = {Mode::Torque, "-20", "0", "0", false, "", "", ""};
  settings.functions[4] = {Mode::Velocity, "0", "10", "200", true, "", "", ""};
  settings.functions[5] = {Mode::ELimit, "50", "-10", "200", false, "", "", ""};
  settings.functions[6] = {Mode::Off, "0", "0", "0", false, "", "", ""};
  settings.functions[7] = {Mode::Shunt, "0", "0", "0", false, "", "", ""};
  settings.functions[8] = {Mode::Reset, "0", "0", "0", false, "", "", ""};
  Install(settings);
  FirstGoSetsZero();

  const auto running = [&](char mode, int direction) {
    const double from = Motor([](const sim::Firmware& m) { return m.Shaft().Physical(); });
    return Await([&](const sim::Firmware& m) {
      return m.Mode() == mode && (m.Shaft().Physical() - from) * direction > 500;
    });
  };
  Inputs(1, true);
  EXPECT_TRUE(running('V', 1));
  Release(1);
  EXPECT_TRUE(Await([](const sim::Firmware& m) { return !*m.Status('t'); })) << "decelerated";
  Inputs(2, true);
  EXPECT_TRUE(running('T', 1));
  Inputs(3, true);
  EXPECT_TRUE(running('T', -1));
  Release(3);
  EXPECT_TRUE(Await([](const sim::Firmware& m) { return m.Mode() == 'P'; })) << "holds where the shaft is";
  Inputs(4, true);
  EXPECT_TRUE(running('V', 1));
  Release(4);
  EXPECT_TRUE(Await([](const sim::Firmware& m) { return m.Mode() == 'B'; })) << "NoGo shunts to stop";

  Inputs(5, true);  // into the hard stop at -4000 with a following error limit of 50 counts
  ASSERT_TRUE(Await([](const sim::Firmware& m) { return Var(m, "f") == 2 && m.Mode() == 'E' && !PinActive(m, 'F'); }));
  EXPECT_EQ(Motor([](const sim::Firmware& m) { return m.Shaft().Physical(); }), -4000);
  Release(6);
  Inputs(6, true);  // the next Go clears the fault, and runs OFF
  EXPECT_TRUE(Await([](const sim::Firmware& m) { return Var(m, "f") == 0 && PinActive(m, 'F') && m.Mode() == 'O'; }));
  Inputs(7, true);
  EXPECT_TRUE(Await([](const sim::Firmware& m) { return m.Mode() == 'B'; }));
  Inputs(8, true);  // Reset: the program starts again and wants homing again
  EXPECT_TRUE(Await([](const sim::Firmware& m) { return Var(m, "h") == 0 && m.Mode() == 'O' && Var(m, "q") == 1; }));
  std::this_thread::sleep_for(100ms);
  EXPECT_TRUE(Motor([](const sim::Firmware& m) { return m.ProgramRunning() && Var(m, "h") == 0; }))
      << "Go held through the restart is no new Go";
}

// Each home method against its mechanics: hard stops at -4000 and 4000, an
// index pulse every 4000 counts and, for the switch methods, switches on D
// at 3000 (+) and on C at -2000 (-). A tripped switch also changes the
// function the inputs select, so the hard-stop axis has none.
struct HomeCase {
  const char* name;
  const char* mechanics;
  int powerUp;  // HomeOption: 0 home at power-up, 1 at the first Go
  int method;   // HomehsLim: 0 present position, 1 hard stop, 2 limit switch
  bool index, positive;
  double ends;  // where the shaft ends on the axis
  double within;
};

constexpr const char* kStops = "hardstops=-4000,4000 index=4000";
constexpr const char* kSwitches = "hardstops=-4000,4000 index=4000 limit=D,3000,+ limit=C,-2000,-";

class FenwaHomingTest : public FenwaProgramTest, public ::testing::WithParamInterface<HomeCase> {};

TEST_P(FenwaHomingTest, EndsAtTheHomeValueWithTheHomedFlag) {
  const HomeCase& c = GetParam();
  Power(c.mechanics);
  AxisSettings settings = Axis();
  settings.options.powerUp = c.powerUp;
  settings.options.homeMethod = c.method;
  settings.options.backOffToIndex = c.index;
  settings.options.towardsPositive = c.positive;
  settings.limits[9] = "1";  // the home value: 2000 counts
  Install(settings);
  if (c.powerUp == 0) {
    if (c.method == 0) {
      EXPECT_TRUE(Await([](const sim::Firmware& m) { return Var(m, "h") == 1; })) << "homed at power-up";
    } else {
      EXPECT_EQ(Motor([](const sim::Firmware& m) { return Var(m, "h"); }), 0);
      EXPECT_TRUE(Await([](const sim::Firmware& m) { return m.Mode() == 'V'; })) << "homing at power-up";
    }
  } else {
    Inputs(0, true);  // the first Go homes
  }
  if (c.method == 1) {  // pushes with the home torque limit, 30 %
    EXPECT_TRUE(Await([](const sim::Firmware& m) { return m.Shaft().Blocked() && std::abs(m.AppliedTorque()) == 307; }));
  }
  ASSERT_TRUE(Await([](const sim::Firmware& m) { return Var(m, "h") == 1; }, 10s));
  EXPECT_TRUE(Settles(c.ends, c.within));
  Motor([](const sim::Firmware& m) {
    EXPECT_NEAR(m.Shaft().Position(), kCounts, 0.5) << "the home value";
    EXPECT_EQ(Var(m, "f"), 0);
    EXPECT_TRUE(m.ProgramRunning());
    return 0;
  });
}

INSTANTIATE_TEST_SUITE_P(
    HomeMethods, FenwaHomingTest,
    ::testing::Values(HomeCase{"HardStop", kStops, 1, 1, false, false, -3000, 1},
                      HomeCase{"HardStopPositiveIndex", kStops, 0, 1, true, true, -1000, 1},
                      HomeCase{"SwitchPositive", kSwitches, 1, 2, false, true, 2000, 30},
                      HomeCase{"SwitchNegativeIndex", kSwitches, 1, 2, true, false, 1000, 1},
                      HomeCase{"PresentPositionAtPowerUp", kStops, 0, 0, false, false, 0, 0}),
    [](const ::testing::TestParamInfo<HomeCase>& info) { return std::string(info.param.name); });

TEST_F(FenwaProgramTest, TheHomeButtonFaultResetAndOverTemperature) {
  Power("hardstops=-4000,4000");
  AxisSettings settings = Axis();
  settings.options.homeMethod = 1;
  settings.options.fullResetOnFault = true;
  settings.functions[1] = {Mode::ELimit, "50", "-10", "200", false, "", "", ""};
  Install(settings);
  LiveState state;
  testing::RecordingView view;
  CommandLog log(view);
  TestMoves moves(state, *channel_, view, log);

  moves.CommandPressed(6, settings);  // held until homing is done
  ASSERT_TRUE(Await([](const sim::Firmware& m) { return Var(m, "h") == 1; }));
  moves.HomeReleased();
  EXPECT_TRUE(Settles(-3000));
  moves.CommandPressed(6, settings);
  EXPECT_TRUE(Await([](const sim::Firmware& m) { return m.Mode() == 'V'; }));
  moves.HomeReleased();  // let go early: the motor stops, not homed
  EXPECT_TRUE(Await([](const sim::Firmware& m) { return !*m.Status('t'); }));
  EXPECT_EQ(Motor([](const sim::Firmware& m) { return Var(m, "h"); }), 0);
  EXPECT_GT(Motor([](const sim::Firmware& m) { return m.Shaft().Physical(); }), -4000);

  FirstGoSetsZero();  // manual power-up option: zero where it stands
  Inputs(1, true);  // into the stop: the fault resets the program
  EXPECT_TRUE(Await([](const sim::Firmware& m) {
    return Var(m, "e") == 2 && Var(m, "q") == 1 && Var(m, "f") == 0 && Var(m, "h") == 0 && PinActive(m, 'F');
  })) << "started again: homing is needed again";

  settings.options.fullResetOnFault = false;
  Install(settings);
  simulator_->WithMotor(0, 0, [](sim::Firmware& m) { return m.SetStatus('h', true); });
  EXPECT_TRUE(Await([](const sim::Firmware& m) { return Var(m, "f") == 3 && !PinActive(m, 'F'); }));
}

TEST_F(FenwaProgramTest, ThePcsTestMovesRunWhileItFeedsTheClock) {
  Power();
  AxisSettings settings = Axis();
  settings.functions[1] = {Mode::Velocity, "0", "2", "200", false, "", "", ""};
  settings.functions[2] = {Mode::Torque, "20", "0", "0", false, "", "", ""};
  Install(settings);
  LiveState state;
  state.pollingOn = true;
  state.selectedAddress = 1;
  testing::RecordingView view;
  CommandLog log(view);
  TestMoves moves(state, *channel_, view, log);
  const auto moving = [&] { return Motor([](const sim::Firmware& m) { return *m.Status('t'); }); };

  moves.GoPressed(1, settings);
  ASSERT_TRUE(state.timerOn) << "the poll goes on to feed CLK";
  for (int tick = 0; tick < 20; ++tick) {  // five seconds of polls, CLK=0 from the eleventh
    StatusTick(state, settings, *channel_, view);
    std::this_thread::sleep_for(250ms);
  }
  EXPECT_TRUE(moving());
  moves.GoReleased(1, settings);
  EXPECT_TRUE(Await([](const sim::Firmware& m) { return !*m.Status('t'); }));

  moves.GoPressed(1, settings);  // and a PC that goes quiet
  EXPECT_TRUE(Await([](const sim::Firmware& m) { return *m.Status('t'); }));
  std::this_thread::sleep_for(3s);
  EXPECT_TRUE(moving());
  EXPECT_TRUE(Await([](const sim::Firmware& m) { return !*m.Status('t'); }, 3s)) << "stopped by the program";
  EXPECT_TRUE(Motor([](const sim::Firmware& m) { return m.ProgramRunning() && m.Machine().ReturnDepth() == 0; }));

  // With travel limits the torque test is guarded too, and ends at a limit.
  settings.limits[7] = "1";
  settings.limits[8] = "-100";
  Install(settings);
  channel_->Write("O=0 h=1");
  moves.GoPressed(2, settings);
  EXPECT_TRUE(Await([](const sim::Firmware& m) { return m.Mode() == 'T'; }));
  EXPECT_TRUE(Await([](const sim::Firmware& m) { return m.Mode() == 'P' && m.Shaft().Position() >= kCounts; }));
  moves.GoReleased(2, settings);
}

}  // namespace
}  // namespace velkor::setup
