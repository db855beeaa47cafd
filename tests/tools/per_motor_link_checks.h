#pragma once
// What the client must do alike over a network and a USB link, where every
// motor has a connection of its own: the motor commands given `--net` or
// `--usb` in place of `--port`. `withMotor(index, use)` runs `use` on the
// simulated motor at that index of the scenario.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "sim/firmware/firmware.h"
#include "tests/support/client_process.h"
#include "tests/support/test_environment.h"

namespace velkor::testing {

// Writes and reads reach the addressed motor (motor 1 at `first`) and no other
// (at `other`).
template <class WithMotor>
void ExpectMemoryOfTheAddressedMotor(const std::string& link, std::size_t first, std::size_t other,
                                     WithMotor withMotor) {
  auto byte = [&](std::size_t motor, std::uint32_t at) {
    return withMotor(motor, [at](sim::Firmware& m) { return m.Memory().Byte(at); });
  };
  ClientRun run = RunClient("mem " + link + " --address 1 write 200 0x1234 --word");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(byte(first, 200), 0x12);
  EXPECT_EQ(byte(first, 201), 0x34);
  EXPECT_EQ(byte(other, 200), 0xFF);
  // The long beyond the word reaches into erased memory.
  run = RunClient("mem " + link + " --address 1 read 200");
  EXPECT_NE(run.output.find("305463295 (0x1234FFFF)"), std::string::npos) << run.output;
  run = RunClient("mem " + link + " --address 1 write 300 -2");
  ASSERT_EQ(run.status, 0) << run.output;
  run = RunClient("mem " + link + " --address 1 read 302 --word");
  EXPECT_NE(run.output.find("65534 (0xFFFE)"), std::string::npos) << run.output;
  run = RunClient("mem " + link + " --address 1 write 300 0x5A --byte");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(byte(first, 300), 0x5A);
  EXPECT_EQ(byte(first, 301), 0xFF);
  run = RunClient("mem " + link + " --address 1 read 201 --byte");
  EXPECT_NE(run.output.find("52 (0x34)"), std::string::npos) << run.output;
}

// Motor 1 (index 0) has plain firmware, motor 2 (index 1) servo firmware,
// which alone keeps a compiled program.
template <class WithMotor>
void ExpectProgramsGoAndComeBack(const std::string& link, const std::filesystem::path& folder, WithMotor withMotor) {
  const std::string source = (folder / "move.src").string();
  WriteFile(source, "' a move and back\nMP  A=100 V=1000\nP=4000 G\nC1\nWHILE a<3\n  a = a+1\nLOOP\nEND\n");
  ClientRun run = RunClient("compile " + source);
  ASSERT_EQ(run.status, 0) << run.output;
  const std::string stored = "MP A=100 V=1000\nP=4000 G\nC1\nWHILE a<3\na=a+1\nLOOP\nEND\n";

  run = RunClient("download " + link + " --address 1 " + (folder / "move.vqx").string());
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(withMotor(0, [](sim::Firmware& m) { return m.Program(false).Body(); }), stored);
  run = RunClient("upload " + link + " --address 1 " + (folder / "back.txt").string());
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(ReadFile(folder / "back.txt"), "MP A=100 V=1000\r\nP=4000 G\r\nC1\r\nWHILE a<3\r\na=a+1\r\nLOOP\r\nEND\r\n");

  // Servo firmware refuses images of the plain family, so the image says 463.
  std::string image = ReadFile(folder / "move.vqx");
  ASSERT_TRUE(image.starts_with("$4000"));
  WriteFile(folder / "move.scx", image.replace(0, 5, "$4630"));
  run = RunClient("download " + link + " --address 2 " + (folder / "move.scx").string());
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(withMotor(1, [](sim::Firmware& m) { return m.Program(true).Body(); }), stored);
  run = RunClient("upload " + link + " --address 2 - --compiled --raw");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find(stored), std::string::npos) << run.output;
}

// Two axes to the motors at `first` and `second`; a third axis without a
// motor is refused before host mode starts. `nowhere` ends the refusal.
template <class WithMotor>
void ExpectStreamToTheEndOfTheTable(const std::string& link, const std::filesystem::path& folder, std::size_t first,
                                    std::size_t second, const std::string& nowhere, WithMotor withMotor) {
  const std::string table = (folder / "line.csv").string();
  ClientRun run =
      RunClient("path line --time-delta 64 --acceleration 0.05 --max-speed 5 --to 300,400 --create > " + table);
  ASSERT_EQ(run.status, 0) << run.output;
  run = RunClient("stream " + link + " --motors 2 " + table);
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("streamed 5 of 5 samples to 2 motor(s)"), std::string::npos) << run.output;
  EXPECT_NEAR(withMotor(first, [](sim::Firmware& m) { return m.Host().Position(); }), 300, 0.5);
  EXPECT_NEAR(withMotor(second, [](sim::Firmware& m) { return m.Host().Position(); }), 400, 0.5);

  const std::string wide = (folder / "wide.csv").string();
  WriteFile(wide, "0,0,0,0\n10,10,10,64\n");
  run = RunClient("stream " + link + " --motors 3 " + wide);
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_NE(run.output.find("no motor at address 3 " + nowhere), std::string::npos) << run.output;
  EXPECT_FALSE(withMotor(first, [](sim::Firmware& m) { return m.HostMode(); }));
}

}  // namespace velkor::testing
