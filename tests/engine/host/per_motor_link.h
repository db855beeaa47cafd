#pragma once
// What a host does alike on the links where every motor has a connection of
// its own (network adapters, USB adapters): the fixture's common part and
// the checks both kinds of link must pass. Motor 2 of the adapters answers
// "RSP" with "24576/452".

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "sim/frontend/simulator.h"
#include "tests/support/engine_failure.h"
#include "tests/support/test_environment.h"
#include "velkor/automation.h"
#include "velkor/interfaces.h"

namespace velkor::testing {

class PerMotorLinkTest : public ::testing::Test {
 protected:
  LONG MotorCount() {
    LONG count = -1;
    host_->get_NoOfMotors(&count);
    return count;
  }
  std::string Ask(const std::string& command) {
    Bstr text(command.c_str()), answer;
    EXPECT_EQ(host_->GetResponseOf(text.get(), answer.Out()), S_OK) << TakeFailure().description;
    return answer.Utf8();
  }

  // One answer from every motor cannot come back as one.
  void ExpectAnswerFromEveryMotorRefused() {
    Bstr answer;
    EXPECT_EQ(host_->GetResponseOf(Bstr("0RSP").get(), answer.Out()), E_FAIL);
    auto failure = TakeFailure();
    EXPECT_EQ(failure.description, "Cannot get data from more than one motor!");
    EXPECT_EQ(failure.helpContext, 32u);
    EXPECT_EQ(host_->ReadResponse(answer.Out()), E_FAIL);  // DefaultMotor is 0 after detection
    EXPECT_EQ(TakeFailure().helpContext, 32u);
  }

  // A command to every motor, answered by each on its own connection; then
  // ClearBuffer empties them all.
  void ExpectClearBufferEmptiesEvery(int motors) {
    EXPECT_EQ(host_->WriteCmd(Bstr("0RSP").get()), S_OK);
    const LONG expected = motors * static_cast<LONG>(std::string("24576/441\r").size());
    LONG waiting = 0;
    for (int tries = 0; tries < 100 && waiting < expected; ++tries) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      ASSERT_EQ(host_->get_BytesAvailable(&waiting), S_OK);
    }
    EXPECT_EQ(waiting, expected);
    EXPECT_EQ(host_->ClearBuffer(), S_OK);
    EXPECT_EQ(host_->get_BytesAvailable(&waiting), S_OK);
    EXPECT_EQ(waiting, 0);
    EXPECT_EQ(Ask("2RSP"), "24576/452");
  }

  void ExpectRawStringReachesTheSelectedMotor() {
    ASSERT_EQ(host_->put_DefaultMotor(2), S_OK);
    EXPECT_EQ(host_->WriteString(Bstr("RSP\r").get()), S_OK);
    Bstr answer;
    EXPECT_EQ(host_->ReadResponse(answer.Out()), S_OK) << TakeFailure().description;
    EXPECT_EQ(answer.Utf8(), "24576/452");
  }

  // Closed, a listed motor is not reachable (8); opened again, it is; a
  // motor that is not listed is a bad argument (19), not a closed one.
  void ExpectCloseAndReopen(const std::string& ask, const std::string& answer) {
    EXPECT_EQ(host_->ClosePort(), S_OK);
    Bstr text;
    EXPECT_EQ(host_->GetResponseOf(Bstr("1RSP").get(), text.Out()), E_FAIL);
    EXPECT_EQ(TakeFailure().helpContext, 8u);
    EXPECT_EQ(host_->OpenPort(nullptr), S_OK) << TakeFailure().description;
    EXPECT_EQ(Ask(ask), answer);
    EXPECT_EQ(host_->GetResponseOf(Bstr("7RSP").get(), text.Out()), E_FAIL);
    EXPECT_EQ(TakeFailure().helpContext, 19u);
  }

  // A motor that answers after the time-out: every question is a time-out
  // (error 5), never the late answer to the one before; once it is quick
  // again, each answer is its own question's.
  void ExpectLateAnswersNeverTakenForFresh() {
    auto slow = [&](std::chrono::milliseconds delay) {
      sim::FaultSet faults;
      faults.answerDelay = delay;
      simulator_->WithMotorLine(0, 1, [&](sim::Line& line) { line.Node(0).Arm(faults); });
    };
    ASSERT_EQ(host_->WriteCmd(Bstr("2b=42").get()), S_OK);
    ASSERT_EQ(host_->put_Timeout(150), S_OK);
    slow(std::chrono::milliseconds(250));
    for (const char* question : {"2RSP", "2Rb", "2RSP", "2Rb"}) {
      Bstr answer;
      EXPECT_EQ(host_->GetResponseOf(Bstr(question).get(), answer.Out()), E_FAIL) << question << ": " << answer.Utf8();
      EXPECT_EQ(TakeFailure().helpContext & 0xFFFF, 5u) << question;
    }
    slow(std::chrono::milliseconds(0));
    EXPECT_EQ(Ask("2Rb"), "42");
    EXPECT_EQ(Ask("2RSP"), "24576/452");
  }

  TemporaryRegistry registry_;
  std::unique_ptr<sim::Simulator> simulator_;
  ComPtr<IVNXComm> host_;
};

}  // namespace velkor::testing
