#pragma once
// A simulated RS485 bus behind a recording pseudo-terminal, and a host
// object from the engine library that has declared the bus's motors.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <string>
#include <vector>

#include "sim/frontend/simulator.h"
#include "tests/engine/motor/recording_port.h"
#include "tests/support/test_environment.h"
#include "velkor/automation.h"
#include "velkor/interfaces.h"

namespace velkor::engine::testing {

struct Failure {
  std::string description;
  DWORD helpContext = 0;
  GUID iid{};
};

// The error information the last failing call left for this thread.
inline Failure TakeFailure() {
  Failure failure;
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.Out()) != S_OK || !info) return failure;
  Bstr text;
  info->GetDescription(text.Out());
  failure.description = text.Utf8();
  info->GetHelpContext(&failure.helpContext);
  info->GetGUID(&failure.iid);
  return failure;
}

class SimulatedBus : public ::testing::Test {
 protected:
  // Motors at 38400 baud keep the tests quick; `motors` is the scenario's
  // motor lines.
  void Start(const std::string& motors, LONG declared) {
    sim::ScenarioParse parsed = sim::ParseScenario("port bus\n" + motors);
    ASSERT_TRUE(parsed.errors.empty()) << sim::FormatError(parsed.errors[0]);
    std::string error;
    simulator_ = sim::Simulator::Start(parsed.scenario, nullptr, error);
    ASSERT_TRUE(simulator_) << error;
    port_ = std::make_unique<RecordingPort>(simulator_->DevicePath(0));
    ASSERT_TRUE(port_->Ready());
    ASSERT_EQ(CreateObject("VNXEngine.VNXHost", IID_IVNXComm, host_.OutVoid()), S_OK);
    ASSERT_EQ(host_->put_BaudRate(38400), S_OK);
    ASSERT_EQ(host_->OpenPort(Bstr(port_->DevicePath()).get()), S_OK);
    if (declared > 0) {
      ASSERT_EQ(host_->InitRS485(declared, 0), S_OK);
    }
    port_->Forget();
  }

  ComPtr<IVNXMotor> Motor(LONG address) {
    ComPtr<IVNXMotor> motor;
    EXPECT_EQ(host_->GetMotor(address, motor.Out()), S_OK);
    return motor;
  }

  std::vector<std::string> Sent() {
    auto lines = port_->Lines();
    port_->Forget();
    return lines;
  }

  template <class Use>
  auto WithMotor(std::size_t index, Use&& use) {
    return simulator_->WithMotor(0, index, std::forward<Use>(use));
  }
  // What the engine sent last may still be on its way to the motor when
  // the call returns (without echo nothing waits for it): a value the
  // motor should hold is looked at until it does, for a generous while.
  template <class Value, class Read>
  static Value Settled(Value expected, Read read) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    Value value = read();
    while (value != expected && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      value = read();
    }
    return value;
  }
  std::int32_t Variable(std::size_t motor, const char* name) {
    return WithMotor(motor, [&](sim::Firmware& m) { return m.Vars().Get(*sim::Variables::Parse(name)); });
  }
  std::int32_t SettledVariable(std::size_t motor, const char* name, std::int32_t expected) {
    return Settled(expected, [&] { return Variable(motor, name); });
  }
  std::uint8_t SettledByte(std::size_t motor, int address, std::uint8_t expected) {
    return Settled(expected, [&] { return MemoryByte(motor, address); });
  }
  // Waits until the motors have taken everything sent so far (an answered
  // question), so that nothing on its way overwrites the value; what was
  // sent is forgotten.
  virtual void Sync() {
    Bstr answer;
    ComPtr<IVNXMotor> motor;
    if (host_ && host_->GetMotor(1, motor.Out()) == S_OK) motor->GetResponseOf(Bstr("RADDR").get(), answer.Out());
  }
  void SetVariable(std::size_t motor, const char* name, std::int32_t value) {
    Sync();
    port_->Forget();
    WithMotor(motor, [&](sim::Firmware& m) { m.Vars().Set(*sim::Variables::Parse(name), value); });
  }
  std::uint8_t MemoryByte(std::size_t motor, int address) {
    return WithMotor(motor, [&](sim::Firmware& m) { return m.Memory().Byte(address); });
  }

  ::velkor::testing::TemporaryRegistry registry_;
  std::unique_ptr<sim::Simulator> simulator_;
  std::unique_ptr<RecordingPort> port_;
  ComPtr<IVNXComm> host_;
};

// The engine's failure: E_FAIL with this help context (param << 16 | code),
// raised by IVNXMotor.
#define EXPECT_MOTOR_FAILURE(call, context, text)                     \
  do {                                                                 \
    EXPECT_EQ((call), E_FAIL);                                         \
    const auto taken = ::velkor::engine::testing::TakeFailure();       \
    EXPECT_EQ(taken.description, text);                                \
    EXPECT_EQ(taken.helpContext, static_cast<DWORD>(context));         \
    EXPECT_TRUE(taken.iid == IID_IVNXMotor);                           \
  } while (0)

}  // namespace velkor::engine::testing
