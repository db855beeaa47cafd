#pragma once
// A host on a network link against simulated network adapters.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/engine/host/per_motor_link.h"
#include "tests/support/engine_failure.h"
#include "tests/support/network_adapters.h"
#include "tests/support/test_environment.h"
#include "velkor/automation.h"
#include "velkor/interfaces.h"

namespace velkor::testing {

class NetworkTest : public PerMotorLinkTest {
 protected:
  // The adapters, then a host that reads their settings.
  void StartAdapters(const std::vector<std::string>& motors, bool discovery = true, const std::string& faults = "") {
    NetworkAdapters adapters = testing::StartAdapters(motors, discovery, faults, registry_.UserFile());
    simulator_ = std::move(adapters.simulator);
    ASSERT_TRUE(simulator_);
    ASSERT_EQ(CreateObject("VNXEngine.VNXHost", IID_IVNXComm, host_.OutVoid()), S_OK);
  }

  LONG Detect(LONG maxAddress, LONG flags = 0) {
    EXPECT_EQ(host_->InitEthernet(maxAddress), S_OK);
    LONG result = -1;
    EXPECT_EQ(host_->DetectNetMotors(maxAddress, flags, &result), S_OK) << TakeFailure().description;
    return result;
  }
};

}  // namespace velkor::testing
