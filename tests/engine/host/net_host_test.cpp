// A host on a network link: discovery, adding motors by address, and the
// command exchange routed to each motor's own connection.

#include <chrono>
#include <thread>

#include "tests/engine/host/net_fixture.h"

using velkor::Bstr;
using velkor::ComPtr;
using velkor::testing::NetworkTest;
using velkor::testing::TakeFailure;

namespace {

constexpr LONG kRaise = 0x100000;

const std::vector<std::string> kThreeMotors = {"motor serial=A3001 firmware=441", "motor serial=A3002 firmware=452",
                                               "motor serial=A3003 firmware=443"};

using NetHostTest = NetworkTest;

}  // namespace

TEST_F(NetHostTest, DiscoveryNumbersTheAdaptersInReplyOrderAndConnectsEach) {
  StartAdapters(kThreeMotors);
  EXPECT_EQ(Detect(10), 1);
  EXPECT_EQ(MotorCount(), 3);
  LONG selected = -1;
  host_->get_DefaultMotor(&selected);
  EXPECT_EQ(selected, 0);
  EXPECT_EQ(Ask("1RSP"), "24576/441");
  EXPECT_EQ(Ask("2RSP"), "24576/452");
  EXPECT_EQ(Ask("3RSP"), "24576/443");
  // Set through one motor, read through another: each connection is its own.
  EXPECT_EQ(host_->WriteCmd(Bstr("2b=42").get()), S_OK);
  EXPECT_EQ(host_->WriteCmd(Bstr("3b=7").get()), S_OK);
  EXPECT_EQ(Ask("2Rb"), "42");
  EXPECT_EQ(Ask("3Rb"), "7");

  ComPtr<IVNXMotor> third;
  ASSERT_EQ(host_->GetMotor(3, third.Out()), S_OK);
  Bstr answer;
  EXPECT_EQ(third->GetResponseOf(Bstr("Rb").get(), answer.Out()), S_OK) << TakeFailure().description;
  EXPECT_EQ(answer.Utf8(), "7");
  LONG position = -1;
  EXPECT_EQ(third->GetPosition(&position), S_OK) << TakeFailure().description;
  EXPECT_EQ(position, 0);
}

TEST_F(NetHostTest, DiscoveryGivesAddressesBelowMaxMotorsOnly) {
  StartAdapters(kThreeMotors);
  EXPECT_EQ(Detect(3), 1);
  EXPECT_EQ(MotorCount(), 2);
  EXPECT_EQ(Ask("2RSP"), "24576/452");
}

TEST_F(NetHostTest, DiscoveryIgnoresRepliesOfTheWrongSizeOrKind) {
  StartAdapters({"motor firmware=441", "motor firmware=442", "motor firmware=443", "motor firmware=444"}, true,
                "fault motor=1 discovery-reply=short\n"
                "fault motor=2 discovery-reply=long\n"
                "fault motor=3 discovery-reply=query\n");
  EXPECT_EQ(Detect(10), 1);
  EXPECT_EQ(MotorCount(), 1);
  EXPECT_EQ(Ask("1RSP"), "24576/444");
}

TEST_F(NetHostTest, WithoutAnyReplyTheMotorsStay) {
  StartAdapters(kThreeMotors, false);
  EXPECT_EQ(host_->InitEthernet(10), S_OK);
  LONG address = 0;
  ASSERT_EQ(host_->AddNetMotor(Bstr(velkor::testing::AdapterAddress(1).c_str()).get(), &address), S_OK);
  EXPECT_EQ(address, 1);
  EXPECT_EQ(Detect(10), 1);
  EXPECT_EQ(MotorCount(), 1);
  EXPECT_EQ(Ask("1RSP"), "24576/452");
}

TEST_F(NetHostTest, NothingFoundIsCode64OrErrorFourWhenAsked) {
  StartAdapters({"motor"}, true, "fault motor=1 discovery-reply=none\n");
  EXPECT_EQ(Detect(10), 64);
  LONG result = -1;
  EXPECT_EQ(host_->DetectNetMotors(10, kRaise, &result), E_FAIL);
  EXPECT_EQ(TakeFailure().helpContext, 4u);
}

TEST_F(NetHostTest, DiscoveryRefusesOtherLinksAndBadMaximum) {
  StartAdapters({"motor"}, false);
  LONG result = -1;
  EXPECT_EQ(host_->DetectNetMotors(10, 0, &result), S_OK);
  EXPECT_EQ(result, 128);
  EXPECT_EQ(host_->DetectNetMotors(10, kRaise, &result), E_FAIL);
  EXPECT_EQ(TakeFailure().helpContext, 19u);
  LONG address = -1;
  EXPECT_EQ(host_->AddNetMotor(Bstr(velkor::testing::AdapterAddress(0).c_str()).get(), &address), E_FAIL);
  EXPECT_EQ(TakeFailure().helpContext, 19u);

  EXPECT_EQ(host_->InitEthernet(10), S_OK);
  EXPECT_EQ(host_->DetectNetMotors(0, 0, &result), S_OK);
  EXPECT_EQ(result, 64);
  EXPECT_EQ(host_->AddNetMotor(nullptr, &address), E_FAIL);
  EXPECT_EQ(TakeFailure().helpContext, 19u);
}

TEST_F(NetHostTest, AddedMotorsTakeTheNextAddressAndBecomeSelected) {
  StartAdapters(kThreeMotors, false);
  EXPECT_EQ(host_->InitEthernet(10), S_OK);
  LONG address = 0;
  ASSERT_EQ(host_->AddNetMotor(Bstr(velkor::testing::AdapterAddress(2).c_str()).get(), &address), S_OK);
  EXPECT_EQ(address, 1);
  ASSERT_EQ(host_->AddNetMotor(Bstr(velkor::testing::AdapterAddress(0).c_str()).get(), &address), S_OK);
  EXPECT_EQ(address, 2);
  LONG selected = 0;
  host_->get_DefaultMotor(&selected);
  EXPECT_EQ(selected, 2);
  EXPECT_EQ(Ask("RSP"), "24576/441");
  EXPECT_EQ(Ask("1RSP"), "24576/443");

  // Nobody listens there: nothing is added.
  ASSERT_EQ(host_->AddNetMotor(Bstr("127.0.0.9").get(), &address), S_OK);
  EXPECT_EQ(address, 0);
  EXPECT_EQ(MotorCount(), 2);
}

TEST_F(NetHostTest, AddingBeyondMaxMotorsGivesZero) {
  std::vector<std::string> nine(9, "motor");
  StartAdapters(nine);
  EXPECT_EQ(Detect(10), 1);
  ASSERT_EQ(MotorCount(), 9);
  LONG address = -1;
  ASSERT_EQ(host_->AddNetMotor(Bstr("127.0.0.2").get(), &address), S_OK);
  EXPECT_EQ(address, 0);
  EXPECT_EQ(MotorCount(), 9);
}

TEST_F(NetHostTest, AnAnswerFromEveryMotorIsRefused) {
  StartAdapters(kThreeMotors);
  ASSERT_EQ(Detect(10), 1);
  ExpectAnswerFromEveryMotorRefused();
}

TEST_F(NetHostTest, ClearBufferEmptiesEveryConnection) {
  StartAdapters(kThreeMotors);
  ASSERT_EQ(Detect(10), 1);
  ExpectClearBufferEmptiesEvery(3);
}

TEST_F(NetHostTest, LateAnswersAreNeverTakenForFreshOnes) {
  StartAdapters(kThreeMotors);
  ASSERT_EQ(Detect(10), 1);
  ExpectLateAnswersNeverTakenForFresh();
}

TEST_F(NetHostTest, RawStringsGoToTheSelectedMotor) {
  StartAdapters(kThreeMotors);
  ASSERT_EQ(Detect(10), 1);
  ExpectRawStringReachesTheSelectedMotor();
}

TEST_F(NetHostTest, ClosingAndOpeningConnectsTheListedMotorsAgain) {
  StartAdapters(kThreeMotors);
  ASSERT_EQ(Detect(10), 1);
  ExpectCloseAndReopen("3RSP", "24576/443");
  simulator_.reset();  // every adapter gone
  EXPECT_EQ(host_->OpenPort(nullptr), E_FAIL);
  EXPECT_EQ(TakeFailure().helpContext, 45u);
}

TEST_F(NetHostTest, ProgramsTravelToAndFromANetworkMotor) {
  StartAdapters({"motor firmware=441", "motor firmware=452"});
  ASSERT_EQ(Detect(10), 1);
  // An image with the header that a compiled "a=1 / END" has.
  const std::string body = "a=1\nEND\n";
  std::int32_t sum = 0;
  for (char c : body) sum += static_cast<signed char>(c);
  char header[32];
  std::snprintf(header, sizeof header, "$4000%06X%06X", static_cast<unsigned>(sum),
                static_cast<unsigned>(body.size()));
  const std::string image = header + std::string("00000000040000000000000000") + body;

  ComPtr<IVNXMotor> second;
  ASSERT_EQ(host_->GetMotor(2, second.Out()), S_OK);
  LONG result = -1;
  ASSERT_EQ(second->DownloadProgramStr(Bstr(image.c_str()).get(), 0, &result), S_OK) << TakeFailure().description;
  EXPECT_EQ(result, 1);
  EXPECT_EQ(simulator_->WithMotor(0, 1, [](velkor::sim::Firmware& m) { return m.Program(false).Body(); }), body);
  Bstr text;
  ASSERT_EQ(second->UploadProgramStr(0, text.Out()), S_OK) << TakeFailure().description;
  EXPECT_EQ(text.Utf8(), "a=1\r\nEND\r\n");
  // The other motor was not touched.
  EXPECT_EQ(simulator_->WithMotor(0, 0, [](velkor::sim::Firmware& m) { return m.Program(false).Body(); }), "");
}
