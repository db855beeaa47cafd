#pragma once
// A simulated RS485 bus, which keeps what the host sent, and a host
// object from the engine library that has declared the bus's motors.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/engine_failure.h"
#include "tests/support/simulated_motors.h"
#include "tests/support/test_environment.h"
#include "velkor/automation.h"
#include "velkor/interfaces.h"

namespace velkor::engine::testing {

using ::velkor::testing::TakeFailure;
using Lines = std::vector<std::string>;

class SimulatedBus : public ::testing::Test {
 protected:
  // Motors at 38400 baud keep the tests quick; `motors` is the scenario's
  // motor lines, `declared` the InitRS485 count (0: none).
  void Start(const std::string& motors, LONG declared) {
    simulator_ = ::velkor::testing::StartMotors("port bus\n" + motors);
    ASSERT_TRUE(simulator_);
    ASSERT_EQ(CreateObject("VNXEngine.VNXHost", IID_IVNXComm, host_.OutVoid()), S_OK);
    ASSERT_EQ(host_->put_BaudRate(38400), S_OK);
    ASSERT_EQ(host_->OpenPort(Bstr(DevicePath()).get()), S_OK);
    if (declared > 0) {
      ASSERT_EQ(host_->InitRS485(declared, 0), S_OK);
    }
    Sent();
  }

  ComPtr<IVNXMotor> Motor(LONG address) {
    ComPtr<IVNXMotor> motor;
    EXPECT_EQ(host_->GetMotor(address, motor.Out()), S_OK);
    return motor;
  }
  // The command lines sent since the previous call.
  // The command lines sent since the previous call, CR removed; an address
  // byte shows as "@N " before the text it precedes ("@2 RP", "@1 " alone).
  Lines Sent() {
    Lines lines(1);
    for (unsigned char byte : SentBytes()) {
      if (byte >= 0x80) lines.back() += "@" + std::to_string(byte - 0x80) + " ";
      else if (byte == '\r') lines.emplace_back();
      else lines.back().push_back(static_cast<char>(byte));
    }
    if (lines.back().empty()) lines.pop_back();
    return lines;
  }
  // Every byte the motors' line received since the previous call.
  std::string SentBytes() {
    return simulator_->TakeHostBytes(0);
  }
  std::string DevicePath() const { return simulator_->DevicePath(0); }

  std::int32_t Variable(std::size_t motor, const char* name) {
    const auto variable = *sim::Variables::Parse(name);
    return simulator_->WithMotor(0, motor, [&](sim::Firmware& m) { return m.Vars().Get(variable); });
  }
  // What the engine sent last may still be on its way to the motor when the
  // call returns (without echo nothing waits for it): the variable is looked
  // at until it holds the value, for a generous while.
  void ExpectVariable(std::size_t motor, const char* name, std::int32_t expected) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (Variable(motor, name) != expected && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(Variable(motor, name), expected) << "motor " << motor << " " << name;
  }
  // Sets a variable once the motors have taken everything sent so far (an
  // answered question), so that nothing on its way overwrites it.
  void SetVariable(std::size_t motor, const char* name, std::int32_t value) {
    Sync();
    Sent();
    simulator_->WithMotor(0, motor, [&](sim::Firmware& m) { m.Vars().Set(*sim::Variables::Parse(name), value); });
  }
  virtual void Sync() {
    Bstr answer;
    if (host_) Motor(1)->GetResponseOf(Bstr("RADDR").get(), answer.Out());
  }
  std::uint8_t MemoryByte(std::size_t motor, int address) {
    return simulator_->WithMotor(0, motor, [&](sim::Firmware& m) { return m.Memory().Byte(address); });
  }

  ::velkor::testing::TemporaryRegistry registry_;
  std::unique_ptr<sim::Simulator> simulator_;
  ComPtr<IVNXComm> host_;
};

// The engine's failure: E_FAIL with this help context (param << 16 | code),
// raised by the interface `expectedIid`.
#define EXPECT_INTERFACE_FAILURE(expectedIid, call, context, text)         \
  do {                                                                 \
    EXPECT_EQ((call), E_FAIL);                                         \
    const auto taken = ::velkor::testing::TakeFailure();               \
    EXPECT_EQ(taken.description, text);                                \
    EXPECT_EQ(taken.helpContext, static_cast<DWORD>(context));         \
    EXPECT_TRUE(taken.iid == (expectedIid));                           \
  } while (0)
#define EXPECT_MOTOR_FAILURE(call, context, text) EXPECT_INTERFACE_FAILURE(IID_IVNXMotor, call, context, text)

}  // namespace velkor::engine::testing
