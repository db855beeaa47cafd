#pragma once
// A host on a simulated port with a notification window that records what
// the scans report, and may cancel at a chosen step.

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/simulated_motors.h"
#include "tests/support/test_environment.h"
#include "velkor/automation.h"
#include "velkor/interfaces.h"
#include "velkor/window.h"

namespace velkor::testing {

inline std::string ErrorDescription() {
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.Out()) != S_OK || !info) return {};
  Bstr text;
  info->GetDescription(text.Out());
  return text.Utf8();
}

class ChainTest : public ::testing::Test {
 protected:
  static constexpr std::uint32_t kMessage = 0x4711;
  using Note = std::pair<std::int64_t, std::int64_t>;  // code, number

  void SetUp() override {
    ASSERT_EQ(CreateObject("VNXEngine.VNXHost", IID_IVNXComm, host_.OutVoid()), S_OK);
    ASSERT_EQ(host_->InitializeNotification(window_.Handle(), kMessage), S_OK);
  }

  void Open(const std::string& scenario, LONG timeout = 60) {
    simulator_ = StartMotors(scenario);
    ASSERT_TRUE(simulator_);
    Bstr device(simulator_->DevicePath(0));
    ASSERT_EQ(host_->OpenPort(device.get()), S_OK) << ErrorDescription();
    // Empty addresses cost a whole answer time-out each; the simulator answers at once.
    ASSERT_EQ(host_->put_Timeout(timeout), S_OK);
  }

  int SimulatedAddress(std::size_t motor) {
    return simulator_->WithMotor(0, motor, [](sim::Firmware& firmware) { return firmware.Address(); });
  }
  int RecordedAddress(std::size_t motor) {
    return simulator_->WithMotor(0, motor, [](sim::Firmware& firmware) { return int{firmware.Memory().Byte(32262)}; });
  }

  std::string SerialAt(LONG address) {
    ComPtr<IVNXMotor> motor;
    if (host_->GetMotor(address, motor.Out()) != S_OK) return "no motor: " + ErrorDescription();
    Bstr serial;
    if (motor->GetSerialNumber(serial.Out()) != S_OK) return "no serial number: " + ErrorDescription();
    return serial.Utf8();
  }

  LONG MotorCount() {
    LONG count = -1;
    EXPECT_EQ(host_->get_NoOfMotors(&count), S_OK);
    return count;
  }

  std::vector<Note> notes_;
  std::optional<std::int64_t> cancelAtStep_;
  std::function<void(std::int64_t code, std::int64_t number)> onNote_;  // e.g. to arm a fault mid-scan
  TemporaryRegistry registry_;
  NotificationWindow window_{[this](std::uint32_t message, VNX_WPARAM code, VNX_LPARAM number) -> VNX_LRESULT {
    if (message != kMessage) return 1;
    notes_.emplace_back(static_cast<std::int64_t>(code), static_cast<std::int64_t>(number));
    if (onNote_) onNote_(static_cast<std::int64_t>(code), static_cast<std::int64_t>(number));
    return code == 2 && cancelAtStep_ == static_cast<std::int64_t>(number) ? 0 : 1;
  }};
  ComPtr<IVNXComm> host_;
  std::unique_ptr<sim::Simulator> simulator_;
};

}  // namespace velkor::testing
