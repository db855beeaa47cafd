#pragma once
// One simulated motor at address 1, selected as the window selects it: its
// channel, the live state, a view and the test moves, over the engine.

#include <memory>
#include <string>
#include <vector>

#include "setup/live/test_moves.h"
#include "setup/transfer/engine_channel.h"
#include "tests/engine/motor/motor_fixture.h"
#include "tests/setup/recording_view.h"

namespace velkor::setup::testing {

class SelectedMotor : public engine::testing::SimulatedBus {
 protected:
  void SetUp() override {
    Start("motor address=1 baud=38400\n", 1);
    channel_ = std::make_unique<EngineChannel>(host_, 1);
    ASSERT_TRUE(channel_->Ready());
    ASSERT_TRUE(channel_->SetDefaultMotor(1));
    moves_ = std::make_unique<TestMoves>(state_, *channel_, view_, log_);
    state_.pollingOn = true;
    state_.selectedAddress = 1;
    Sent();
  }
  // The command lines sent since the last call, without the address bytes in front.
  std::vector<std::string> CommandLines() {
    std::vector<std::string> lines;
    for (std::string line : Sent()) {
      while (line.size() > 1 && line[0] == '@') line.erase(0, line.find(' ') + 1);
      if (!line.empty()) lines.push_back(line);
    }
    return lines;
  }

  std::unique_ptr<EngineChannel> channel_;
  RecordingView view_;
  CommandLog log_{view_};
  AxisSettings settings_;
  LiveState state_;
  std::unique_ptr<TestMoves> moves_;
};

}  // namespace velkor::setup::testing
