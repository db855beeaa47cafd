// Host-mode streaming end to end against simulated motors: the packets on
// the wire, the flow control, and how host mode ends.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <map>
#include <thread>

#include "tests/engine/motor/motor_fixture.h"

namespace velkor::engine::testing {
namespace {

// Packets end in no CR, so a command may share its recorded line with the
// packets before it.
bool Contains(const Lines& lines, std::string_view command) {
  return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) { return line.ends_with(command); });
}

// Motors at 38400 baud with the default servo rate (4069 samples a second):
// a clock step of 64 plays a sample in about 16 ms.
constexpr LONG kStep = 64;

class StreamingTest : public SimulatedBus {
 protected:
  void StartWith(const std::string& motors, LONG count) {
    Start(motors, count);
    ASSERT_EQ(host_.As(IID_IVNXCMotion, motion_), S_OK);
  }
  // One sample: a position per motor, then the clock.
  HRESULT WriteSample(const std::vector<LONG>& positions, LONG clock) {
    for (std::size_t motor = 0; motor < positions.size(); ++motor) {
      if (HRESULT status = motion_->WritePosition(static_cast<LONG>(motor + 1), positions[motor]); FAILED(status)) {
        return status;
      }
    }
    return motion_->WriteClock(0, clock);
  }
  std::vector<sim::HostSample> Passed(std::size_t motor) {
    return simulator_->WithMotor(0, motor, [](sim::Firmware& m) {
      return std::vector<sim::HostSample>(m.Host().Passed().begin(), m.Host().Passed().end());
    });
  }
  std::string Ask(LONG motor, const char* command) {
    Bstr answer;
    EXPECT_EQ(Motor(motor)->GetResponseOf(Bstr(command).get(), answer.Out()), S_OK);
    return answer.Utf8();
  }
  ComPtr<IVNXCMotion> motion_;
};

#define EXPECT_MOTION_FAILURE(call, code, text) EXPECT_INTERFACE_FAILURE(IID_IVNXCMotion, call, code, text)

TEST_F(StreamingTest, RefusesWhatHostModeCannotDo) {
  StartWith("motor address=1 baud=38400\n", 1);
  EXPECT_MOTION_FAILURE(motion_->WritePosition(1, 10), 30, "Host Mode not initialized!");
  LONG value = 0;
  EXPECT_MOTION_FAILURE(motion_->get_SlotsNeeded(1, &value), 30, "Host Mode not initialized!");
  EXPECT_MOTION_FAILURE(motion_->Initialize(7), 19, "Invalid Data!");
  EXPECT_MOTION_FAILURE(motion_->Initialize(0), 19, "Invalid Data!");
  EXPECT_MOTION_FAILURE(motion_->put_PIDFactor(3), 19, "Invalid Data!");
  ASSERT_EQ(motion_->put_PIDFactor(4), S_OK);
  ASSERT_EQ(motion_->get_PIDFactor(&value), S_OK);
  EXPECT_EQ(value, 4);
  boolean buffered = 0;
  ASSERT_EQ(motion_->put_Buffered(0), S_OK);
  ASSERT_EQ(motion_->get_Buffered(&buffered), S_OK);
  EXPECT_EQ(buffered, 1);
  ASSERT_EQ(motion_->put_TrajectorySlots(12), S_OK);
  ASSERT_EQ(motion_->get_TrajectorySlots(&value), S_OK);
  EXPECT_EQ(value, 12);

  ASSERT_EQ(host_->ClosePort(), S_OK);
  EXPECT_MOTION_FAILURE(motion_->Initialize(1), 8, "The serial port in not open!");
}

TEST_F(StreamingTest, PacketsCarryPositionsAndTheClock) {
  StartWith("motor address=1 baud=38400\nmotor address=2 baud=38400\n", 2);
  ASSERT_EQ(motion_->Initialize(2), S_OK) << TakeFailure().description;
  EXPECT_TRUE(Contains(Sent(), "@2 MD"));
  SentBytes();
  // Motor 2 has no position in the sample: its last one goes before the clock.
  ASSERT_EQ(motion_->WritePosition(1, 10), S_OK);
  ASSERT_EQ(motion_->WriteClock(0, 128), S_OK);
  EXPECT_EQ(SentBytes(), std::string("\x81\xFA\x00\x00\x00\x0A"
                                            "\x82\xFA\x00\x00\x00\x00"
                                            "\x80\xFB\x00\x00\x00\x80", 18));
  ASSERT_EQ(motion_->WritePosition(0, -5), S_OK);  // every motor, one packet
  EXPECT_EQ(SentBytes(), std::string("\x80\xFA\xFF\xFF\xFF\xFB", 6));
  DOUBLE rate = 0;
  ASSERT_EQ(motion_->get_SampleRate(1, &rate), S_OK);
  EXPECT_NEAR(rate, 100000000.0 / 24576, 0.01);
}

TEST_F(StreamingTest, ClockStepsArePowersOfTwo) {
  StartWith("motor address=1 baud=38400\n", 1);
  ASSERT_EQ(motion_->Initialize(1), S_OK) << TakeFailure().description;
  ASSERT_EQ(motion_->WriteClock(0, 0), S_OK);
  ASSERT_EQ(motion_->WriteClock(0, 1024), S_OK);
  ASSERT_EQ(motion_->WriteClock(0, 1280), S_OK);  // a step of 256
  EXPECT_MOTION_FAILURE(motion_->WriteClock(0, 1300), 20, "Invalid Time Delta!");
  EXPECT_MOTION_FAILURE(motion_->WriteClock(0, 0), 20, "Invalid Time Delta!");
  // A motor number switches to direct mode, in which the endings are refused.
  ASSERT_EQ(motion_->WriteClock(1, 5000), S_OK);
  EXPECT_MOTION_FAILURE(motion_->EndHostMode(), 37, "Invalid operation Mode!");
}

TEST_F(StreamingTest, FlowControlStartsTheMotionAndHoldsTheWriterBack) {
  StartWith("motor address=1 baud=38400\n", 1);
  ASSERT_EQ(motion_->Initialize(1), S_OK) << TakeFailure().description;
  LONG slots = 0;
  ASSERT_EQ(motion_->get_TrajectorySlots(&slots), S_OK);
  EXPECT_EQ(slots, 32);  // what the motor reported free
  Sent();
  LONG clock = 0;
  for (int sample = 0; sample < 29; ++sample, clock += kStep) ASSERT_EQ(WriteSample({sample}, clock), S_OK);
  EXPECT_FALSE(Contains(Sent(), "@0 G"));  // the buffer is not full enough yet
  // Far more samples than the buffer holds: the writer waits for room.
  for (int sample = 29; sample < 120; ++sample, clock += kStep) {
    ASSERT_EQ(WriteSample({sample * 10}, clock), S_OK) << TakeFailure().description;
  }
  const Lines sent = Sent();
  EXPECT_TRUE(Contains(sent, "@0 G"));
  EXPECT_TRUE(Contains(sent, "Q"));
  LONG needed = -1;
  ASSERT_EQ(motion_->get_SlotsNeeded(1, &needed), S_OK);
  EXPECT_GE(needed, 0);

  ASSERT_EQ(motion_->EndHostMode(), S_OK) << TakeFailure().description;
  EXPECT_EQ(Ask(1, "RMODE"), "P");
  EXPECT_EQ(Ask(1, "RP"), "1190");
}

// A line in three axes streamed through the simulator: every motor passes
// every sample, within one count of the path.
TEST_F(StreamingTest, ThreeMotorsFollowTheLineTogether) {
  StartWith("motor address=1 baud=38400\nmotor address=2 baud=38400\nmotor address=3 baud=38400\n", 3);
  ASSERT_EQ(motion_->Initialize(3), S_OK) << TakeFailure().description;
  constexpr int kSamples = 60;
  std::vector<std::vector<LONG>> path;
  for (int i = 0; i < kSamples; ++i) {
    const double share = static_cast<double>(i) / (kSamples - 1);
    const auto count = [](double value) { return static_cast<LONG>(std::lround(value)); };
    path.push_back({count(3000 * share), count(-4000 * share), count(1234 * share * share)});
  }
  for (int i = 0; i < kSamples; ++i) ASSERT_EQ(WriteSample(path[static_cast<std::size_t>(i)], i * kStep), S_OK);
  ASSERT_EQ(motion_->EndHostMode(), S_OK) << TakeFailure().description;
  for (std::size_t motor = 0; motor < 3; ++motor) {
    std::map<std::int64_t, std::int32_t> reached;
    for (const auto& sample : Passed(motor)) reached[sample.clock] = sample.position;
    for (int i = 0; i < kSamples; ++i) {
      const auto found = reached.find(static_cast<std::int64_t>(i) * kStep);
      ASSERT_NE(found, reached.end()) << "motor " << motor + 1 << " sample " << i;
      EXPECT_LE(std::abs(found->second - path[static_cast<std::size_t>(i)][motor]), 1) << "motor " << motor + 1;
    }
    EXPECT_EQ(Ask(static_cast<LONG>(motor + 1), "RP"), std::to_string(path.back()[motor]));
  }
}

TEST_F(StreamingTest, AnEmptyBufferWhileRunningEndsHostMode) {
  StartWith("motor address=1 baud=38400\n", 1);
  ASSERT_EQ(motion_->Initialize(1), S_OK) << TakeFailure().description;
  for (int i = 0; i < 3; ++i) ASSERT_EQ(WriteSample({i}, i * kStep), S_OK);
  ASSERT_EQ(motion_->Run(), S_OK);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  LONG free = 0;
  EXPECT_MOTION_FAILURE(motion_->CheckStatus(1, &free), (1 << 16) | 25, "Motor(1):Buffer underflow!");
  EXPECT_MOTION_FAILURE(motion_->WritePosition(1, 1), 30, "Host Mode not initialized!");
}

TEST_F(StreamingTest, MotorsThatCannotJoinAreRefused) {
  StartWith("motor address=1 baud=38400 hostmode=no\n", 1);
  EXPECT_MOTION_FAILURE(motion_->Initialize(1), (1 << 16) | 29, "Motor(1):Host Mode not supported!");
}

TEST_F(StreamingTest, MotorsMustShareTheirSampleRate) {
  StartWith("motor address=1 baud=38400\nmotor address=2 baud=38400 sample=12288\n", 2);
  EXPECT_MOTION_FAILURE(motion_->Initialize(2), 28, "The motors have different sample rates!");
}

TEST_F(StreamingTest, SyncMotorsStopsAndStartsAgainAtClockZero) {
  StartWith("motor address=1 baud=38400\n", 1);
  ASSERT_EQ(motion_->Initialize(1), S_OK) << TakeFailure().description;
  for (int i = 0; i < 10; ++i) ASSERT_EQ(WriteSample({i * 5}, i * kStep), S_OK);
  ASSERT_EQ(motion_->SyncMotors(), S_OK) << TakeFailure().description;
  EXPECT_EQ(Ask(1, "RP"), "45");
  for (int i = 0; i < 5; ++i) ASSERT_EQ(WriteSample({45 - i}, i * kStep), S_OK) << TakeFailure().description;
  ASSERT_EQ(motion_->EndHostMode(), S_OK) << TakeFailure().description;
  EXPECT_EQ(Ask(1, "RP"), "41");
}

}  // namespace
}  // namespace velkor::engine::testing
