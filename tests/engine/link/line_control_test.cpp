// Echo and line rate changes against simulated motors.

#include <gtest/gtest.h>

#include "engine/core/errors.h"
#include "engine/link/host_link.h"
#include "tests/support/engine_error.h"
#include "tests/support/simulated_motors.h"

using velkor::testing::ErrorCodeOf;

namespace engine = velkor::engine;
using engine::HostLink;

TEST(LineControl, BaudChangeMovesMotorsAndPortTogether) {
  auto simulator = velkor::testing::StartMotors("port chain\nmotor address=1\nmotor address=2\n");
  ASSERT_TRUE(simulator);
  HostLink link;
  link.ChangeBaud(19200);  // closed: only stored
  EXPECT_EQ(link.settings.baudRate, 19200);
  EXPECT_EQ(link.settings.chainBaudRate, 19200);
  link.settings.baudRate = 9600;
  link.settings.portName = simulator->DevicePath(0);
  link.Open();
  link.SelectMotor(2);
  link.ChangeBaud(38400);
  EXPECT_EQ(link.settings.baudRate, 38400);
  EXPECT_EQ(link.CurrentAddress(), 2) << "the selection is restored";
  EXPECT_EQ(link.SendCommandGetResponse("1RSP", engine::kKeepAddress, true), "24576/450");
  EXPECT_EQ(simulator->WithMotor(0, 0, [](velkor::sim::Firmware& motor) { return motor.Listening().baud; }), 38400u);
  EXPECT_EQ(ErrorCodeOf([&] { link.ChangeBaud(0); }), 19u);
}

TEST(LineControl, EchoOffAndOnAgain) {
  auto simulator = velkor::testing::StartMotors("port chain\nmotor address=1\n");
  ASSERT_TRUE(simulator);
  HostLink link;
  link.settings.portName = simulator->DevicePath(0);
  link.Open();
  link.motorCount = 1;
  link.SetEcho(false);
  EXPECT_FALSE(simulator->WithMotor(0, 0, [](velkor::sim::Firmware& motor) { return motor.EchoOn(0); }));
  // Without echo the host waits out the line time instead of reading it back.
  EXPECT_EQ(link.SendCommandGetResponse("1RSP", engine::kKeepAddress, true), "24576/450");
  link.SetEcho(true);  // the motor's own ECHO is not echoed: retried
  EXPECT_TRUE(simulator->WithMotor(0, 0, [](velkor::sim::Firmware& motor) { return motor.EchoOn(0); }));
  EXPECT_EQ(link.SendCommandGetResponse("1RSP", engine::kKeepAddress, true), "24576/450");

  link.settings.linkType = engine::LinkType::RS485;
  EXPECT_EQ(ErrorCodeOf([&] { link.SetEcho(true); }), 19u) << "an RS485 bus has no echo";
}
