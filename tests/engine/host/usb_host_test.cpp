// A host on a USB link: detection among the USB devices, and the command
// exchange routed to each motor's own adapter.

#include <chrono>
#include <cstdio>
#include <thread>

#include "tests/engine/host/usb_fixture.h"

using velkor::Bstr;
using velkor::ComPtr;
using velkor::testing::TakeFailure;
using velkor::testing::UsbTest;

namespace {

constexpr LONG kRaise = 0x100000;

const std::vector<std::string> kTwoMotors = {"motor serial=A4001 firmware=441", "motor serial=A4002 firmware=452"};

using UsbHostTest = UsbTest;

// An image with the header that a compiled "a=1 / END" has, for motors of
// firmware `version` ("4000", or "4630" for servo firmware).
std::string ImageOf(const char* version, const std::string& body) {
  std::int32_t sum = 0;
  for (char c : body) sum += static_cast<signed char>(c);
  char header[32];
  std::snprintf(header, sizeof header, "$%s%06X%06X", version, static_cast<unsigned>(sum),
                static_cast<unsigned>(body.size()));
  return header + std::string("00000000040000000000000000") + body;
}

}  // namespace

TEST_F(UsbHostTest, DetectionTakesTheMotorAdaptersInDeviceOrderOnly) {
  StartAdapters({"motor serial=A4001 firmware=441", "motor usb-serial=X9 description=\"Other USB Thing\"",
                 "motor serial=A4003 firmware=443"},
                "Someone Else's\tX1\t/dev/null\n");
  EXPECT_EQ(Detect(10), 1);
  EXPECT_EQ(MotorCount(), 2);
  LONG selected = -1;
  host_->get_DefaultMotor(&selected);
  EXPECT_EQ(selected, 0);
  EXPECT_EQ(Ask("1RSP"), "24576/441");
  EXPECT_EQ(Ask("2RSP"), "24576/443");
  // Set through one adapter, read through the other: each is its own line.
  EXPECT_EQ(host_->WriteCmd(Bstr("1b=42").get()), S_OK);
  EXPECT_EQ(host_->WriteCmd(Bstr("2b=7").get()), S_OK);
  EXPECT_EQ(Ask("1Rb"), "42");
  EXPECT_EQ(Ask("2Rb"), "7");

  ComPtr<IVNXMotor> second;
  ASSERT_EQ(host_->GetMotor(2, second.Out()), S_OK);
  Bstr answer;
  EXPECT_EQ(second->GetResponseOf(Bstr("Rb").get(), answer.Out()), S_OK) << TakeFailure().description;
  EXPECT_EQ(answer.Utf8(), "7");
  LONG position = -1;
  EXPECT_EQ(second->GetPosition(&position), S_OK) << TakeFailure().description;
  EXPECT_EQ(position, 0);
}

TEST_F(UsbHostTest, DetectionBringsMotorsAtAnyRateTo38400) {
  StartAdapters({"motor baud=9600 firmware=441", "motor baud=115200 firmware=441"});
  EXPECT_EQ(Detect(10), 1);
  EXPECT_EQ(Ask("1RSP"), "24576/441");
  EXPECT_EQ(Ask("2RSP"), "24576/441");
}

TEST_F(UsbHostTest, DetectionGivesAddressesBelowMaxMotorsOnly) {
  StartAdapters(kTwoMotors);
  EXPECT_EQ(Detect(2), 1);
  EXPECT_EQ(MotorCount(), 1);
  EXPECT_EQ(Ask("1RSP"), "24576/441");
}

TEST_F(UsbHostTest, RefusalsAndNothingFound) {
  StartAdapters({"motor description=\"Other USB Thing\""});
  LONG result = -1;
  EXPECT_EQ(host_->DetectUSBMotors(10, 0, &result), S_OK);
  EXPECT_EQ(result, 256);  // still a serial link
  EXPECT_EQ(host_->DetectUSBMotors(10, kRaise, &result), E_FAIL);
  EXPECT_EQ(TakeFailure().helpContext, 19u);

  EXPECT_EQ(host_->InitUSB(10), S_OK);
  EXPECT_EQ(host_->DetectUSBMotors(0, 0, &result), S_OK);
  EXPECT_EQ(result, 64);
  EXPECT_EQ(Detect(10), 64);  // a device, but no motor adapter
  EXPECT_EQ(host_->DetectUSBMotors(10, kRaise, &result), E_FAIL);
  EXPECT_EQ(TakeFailure().helpContext, 4u);

  simulator_.reset();  // no device at all
  EXPECT_EQ(Detect(10), 64);
  EXPECT_EQ(host_->DetectUSBMotors(10, kRaise, &result), E_FAIL);
  EXPECT_EQ(TakeFailure().helpContext, 4u);
}

TEST_F(UsbHostTest, AnAnswerFromEveryMotorIsRefused) {
  StartAdapters(kTwoMotors);
  ASSERT_EQ(Detect(10), 1);
  ExpectAnswerFromEveryMotorRefused();
}

TEST_F(UsbHostTest, ClearBufferEmptiesEveryAdapter) {
  StartAdapters(kTwoMotors);
  ASSERT_EQ(Detect(10), 1);
  ExpectClearBufferEmptiesEvery(2);
}

TEST_F(UsbHostTest, LateAnswersAreNeverTakenForFreshOnes) {
  StartAdapters(kTwoMotors);
  ASSERT_EQ(Detect(10), 1);
  ExpectLateAnswersNeverTakenForFresh();
}

TEST_F(UsbHostTest, RawStringsGoToTheSelectedMotor) {
  StartAdapters(kTwoMotors);
  ASSERT_EQ(Detect(10), 1);
  ExpectRawStringReachesTheSelectedMotor();
}

TEST_F(UsbHostTest, ClosingAndOpeningReopensTheListedAdapters) {
  StartAdapters(kTwoMotors);
  ASSERT_EQ(Detect(10), 1);
  ExpectCloseAndReopen("2RSP", "24576/452");
  simulator_.reset();  // every adapter gone
  EXPECT_EQ(host_->OpenPort(nullptr), E_FAIL);
  EXPECT_EQ(TakeFailure().helpContext, 46u);
}

TEST_F(UsbHostTest, ProgramsTravelToAndFromAUsbMotor) {
  // The servo motor is loaded at 9600 and brought back to 38400 afterwards;
  // the plain one is left at its rate.
  StartAdapters({"motor firmware=441", "motor firmware=463"});
  ASSERT_EQ(Detect(10), 1);
  const std::string body = "a=1\nEND\n";
  auto rateChanges = [&](std::size_t index) {
    return simulator_->WithMotor(0, index, [](velkor::sim::Firmware& m) { return m.RateChanges(); });
  };
  const std::vector<int> before[] = {rateChanges(0), rateChanges(1)};
  for (LONG address : {1, 2}) {
    const char* version = address == 1 ? "4000" : "4630";
    SCOPED_TRACE(address);
    ComPtr<IVNXMotor> motor;
    ASSERT_EQ(host_->GetMotor(address, motor.Out()), S_OK);
    LONG result = -1;
    ASSERT_EQ(motor->DownloadProgramStr(Bstr(ImageOf(version, body).c_str()).get(), 0, &result), S_OK)
        << TakeFailure().description;
    EXPECT_EQ(result, 1);
    const auto index = static_cast<std::size_t>(address - 1);
    EXPECT_EQ(simulator_->WithMotor(0, index, [](velkor::sim::Firmware& m) { return m.Program(false).Body(); }),
              body);
    Bstr text;
    ASSERT_EQ(motor->UploadProgramStr(0, text.Out()), S_OK) << TakeFailure().description;
    EXPECT_EQ(text.Utf8(), "a=1\r\nEND\r\n");
  }
  EXPECT_EQ(Ask("2RSP"), "24576/463");
  EXPECT_EQ(simulator_->WithMotor(0, 1, [](velkor::sim::Firmware& m) { return m.Listening().baud; }), 38400);
  EXPECT_EQ(rateChanges(0), before[0]) << "a plain motor keeps its rate";
  std::vector<int> servo = before[1];
  servo.insert(servo.end(), {9600, 38400});
  EXPECT_EQ(rateChanges(1), servo);
}
