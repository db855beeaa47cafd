#pragma once
// A host on a USB link against simulated USB adapters, listed in a device
// list file of the test's own that the engine reads through
// $VELKOR_USB_DEVICES.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/engine/host/per_motor_link.h"
#include "tests/support/engine_failure.h"
#include "tests/support/test_environment.h"
#include "tests/support/usb_adapters.h"
#include "velkor/automation.h"
#include "velkor/interfaces.h"

namespace velkor::testing {

class UsbTest : public PerMotorLinkTest {
 protected:
  UsbTest() : devices_("VELKOR_USB_DEVICES", (registry_.folder() / "usb-devices").string()) {}

  void StartAdapters(const std::vector<std::string>& motors, const std::string& others = "") {
    simulator_ = StartUsbAdapters(motors, DeviceList(), others);
    ASSERT_TRUE(simulator_);
    ASSERT_EQ(CreateObject("VNXEngine.VNXHost", IID_IVNXComm, host_.OutVoid()), S_OK);
  }
  std::filesystem::path DeviceList() const { return registry_.folder() / "usb-devices"; }

  LONG Detect(LONG maxAddress, LONG flags = 0) {
    EXPECT_EQ(host_->InitUSB(maxAddress), S_OK);
    LONG result = -1;
    EXPECT_EQ(host_->DetectUSBMotors(maxAddress, flags, &result), S_OK) << TakeFailure().description;
    return result;
  }
  ScopedEnvironment devices_;
};

}  // namespace velkor::testing
