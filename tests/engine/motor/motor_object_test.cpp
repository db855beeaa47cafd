// VNXMotor through the engine library, against simulated motors on an RS485
// bus: what each member sends, what it refuses, and what it reports.

#include "tests/engine/motor/motor_fixture.h"

namespace velkor::engine::testing {
namespace {

constexpr const char* kTwoMotors =
    "motor address=1 baud=38400 firmware=450\n"
    "motor address=2 baud=38400 firmware=462\n";
constexpr const char* kMoreThanOne = "Cannot get data from more than one motor!";

class MotorObjectTest : public SimulatedBus {
 protected:
  void SetUp() override { Start(kTwoMotors, 2); }
};

TEST_F(MotorObjectTest, AllMotorsObjectSendsToEveryMotorAndRefusesQueries) {
  ComPtr<IVNXMotor> all = Motor(0);
  ASSERT_TRUE(all);
  ASSERT_EQ(all->WriteCommand(Bstr("a=42").get()), S_OK);
  EXPECT_EQ(Sent(), (Lines{"@0 a=42"}));
  ExpectVariable(0, "a", 42);
  ExpectVariable(1, "a", 42);

  LONG position = 7;
  EXPECT_MOTOR_FAILURE(all->GetPosition(&position), 32, kMoreThanOne);
  EXPECT_EQ(position, 7);
  Bstr version;
  EXPECT_MOTOR_FAILURE(all->get_Version(version.Out()), 32, kMoreThanOne);
  BYTE byte = 0;
  EXPECT_MOTOR_FAILURE(all->GetMotorByte(100, &byte), 32, kMoreThanOne);
  EXPECT_MOTOR_FAILURE(all->SetMotorByte(100, 1), 19, "Invalid Data!");
  EXPECT_TRUE(Sent().empty());

  // The record of all motors lives as long as its objects, not the host's.
  host_.Reset();
  EXPECT_MOTOR_FAILURE(all->Go(), 19, "Invalid Data!");
}

TEST_F(MotorObjectTest, CommandsCheckTheirArgumentsBeforeSending) {
  ComPtr<IVNXMotor> motor = Motor(1);
  EXPECT_MOTOR_FAILURE(motor->put_A(-1), 19, "Invalid Data!");
  EXPECT_MOTOR_FAILURE(motor->GoTo(1000, 0, 10), 19, "Invalid Data!");
  EXPECT_MOTOR_FAILURE(motor->GoTo(1000, 10, 0), 19, "Invalid Data!");
  EXPECT_TRUE(Sent().empty());

  EXPECT_EQ(motor->put_P(-1), S_OK);
  EXPECT_EQ(motor->put_A(0), S_OK);
  EXPECT_EQ(motor->Stop(1), S_OK);
  EXPECT_EQ(motor->Stop(0), S_OK);
  EXPECT_EQ(motor->WriteCommand(nullptr), S_OK);  // nothing to send
  EXPECT_EQ(Sent(), (Lines{"P=-1", "A=0", "X", "S"}));

  // Motor 2 is not the selected one: only the first command carries its
  // address; the selected motor 1 then has to be addressed again.
  EXPECT_EQ(Motor(2)->GoTo(1000, 5, 10), S_OK);
  EXPECT_EQ(Sent(), (Lines{"@2 MP", "P=1000", "V=5", "A=10", "G"}));
  EXPECT_EQ(motor->Go(), S_OK);
  EXPECT_EQ(motor->SetVelocityMode(), S_OK);
  EXPECT_EQ(Sent(), (Lines{"@1 G", "MV"}));
}

TEST_F(MotorObjectTest, QueriesReturnTheAnswerAndRegistersGoThroughVariableA) {
  ComPtr<IVNXMotor> motor = Motor(2);
  Bstr answer;
  ASSERT_EQ(motor->GetResponseOf(Bstr("RADDR").get(), answer.Out()), S_OK);
  EXPECT_EQ(answer.Utf8(), "2");
  ASSERT_EQ(motor->put_V(1234), S_OK);
  Sent();
  LONG velocity = 0;
  ASSERT_EQ(motor->get_V(&velocity), S_OK);
  EXPECT_EQ(velocity, 1234);
  EXPECT_EQ(Sent(), (Lines{"@2 a=V", "Ra"}));
  ExpectVariable(1, "a", 1234);
}

TEST_F(MotorObjectTest, WaitForStopPollsUntilTheMoveHasEnded) {
  ComPtr<IVNXMotor> motor = Motor(1);
  ASSERT_EQ(motor->WaitForStop(), S_OK);  // at rest: one poll
  EXPECT_EQ(Sent(), (Lines{"RBt"}));

  ASSERT_EQ(motor->GoTo(3000, 320000, 200000), S_OK);  // about 20000 counts per second
  ASSERT_EQ(motor->WaitForStop(), S_OK);
  LONG position = 0;
  ASSERT_EQ(motor->GetPosition(&position), S_OK);
  EXPECT_EQ(position, 3000);
  const Lines sent = Sent();
  EXPECT_GT(std::count(sent.begin(), sent.end(), "RBt"), 1) << "the move takes a while";
}

TEST_F(MotorObjectTest, VersionAndSampleRateAreAskedOnceAndTellServoFirmware) {
  ComPtr<IVNXMotor> motor = Motor(1);
  DOUBLE rate = 0;
  ASSERT_EQ(motor->get_SampleRate(&rate), S_OK);
  EXPECT_NEAR(rate, 100000000.0 / 24576.0, 1e-9);
  Bstr version;
  ASSERT_EQ(motor->get_Version(version.Out()), S_OK);
  EXPECT_EQ(version.Utf8(), "450");
  EXPECT_EQ(Sent(), (Lines{"RSP"}));

  // The cache belongs to the record, which every object of that motor shares.
  LONG servo = -1;
  ASSERT_EQ(Motor(1)->get_Version(version.Out()), S_OK);
  ASSERT_EQ(Motor(1)->IsServo(&servo), S_OK);
  EXPECT_EQ(servo, 0);
  EXPECT_TRUE(Sent().empty());
  ASSERT_EQ(Motor(2)->IsServo(&servo), S_OK);
  EXPECT_EQ(servo, 1);
  EXPECT_EQ(Sent(), (Lines{"@2 RSP"}));
}

TEST_F(MotorObjectTest, FailuresReachTheClientWithCodeMessageAndHelpContext) {
  ASSERT_EQ(host_->InitRS485(3, 0), S_OK);  // motor 3 is declared but absent
  ComPtr<IVNXMotor> absent = Motor(3);
  LONG position = 0;
  EXPECT_MOTOR_FAILURE(absent->GetPosition(&position), 5, "No response received!");
  // Memory access names the motor that did not answer.
  BYTE byte = 0;
  EXPECT_MOTOR_FAILURE(absent->GetMotorByte(10, &byte), 0x00030005, "No response received!");
  Bstr answer;
  EXPECT_MOTOR_FAILURE(Motor(1)->GetResponseOf(nullptr, answer.Out()), 19, "Invalid Data!");

  ComPtr<ISupportErrorInfo> support;
  ASSERT_EQ(absent.As(IID_ISupportErrorInfo, support), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IVNXMotor), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IVNXComm), S_FALSE);
}

TEST_F(MotorObjectTest, MotorsOfAnEarlierDeclarationNoLongerReachTheLink) {
  ComPtr<IVNXMotor> old = Motor(1);
  ASSERT_EQ(host_->InitRS485(2, 0), S_OK);
  Sent();
  LONG position = 0;
  EXPECT_MOTOR_FAILURE(old->GetPosition(&position), 19, "Invalid Data!");
  EXPECT_MOTOR_FAILURE(old->put_P(5), 19, "Invalid Data!");
  EXPECT_TRUE(Sent().empty());

  ComPtr<IVNXMotor> current = Motor(1);
  ASSERT_EQ(current->GetPosition(&position), S_OK);
  host_.Reset();  // the host and its link are gone
  EXPECT_MOTOR_FAILURE(current->GetPosition(&position), 19, "Invalid Data!");
  Bstr serial;
  EXPECT_MOTOR_FAILURE(current->GetSerialNumber(serial.Out()), 19, "Invalid Data!");
}

// The motor list on the host object.
class HostMotorListTest : public SimulatedBus {
 protected:
  void SetUp() override { Start(kTwoMotors, 0); }
  // The help context of a failed host call.
  static DWORD Code(HRESULT result) { return result == E_FAIL ? TakeFailure().helpContext : 0xFFFFFFFF; }
};

TEST_F(HostMotorListTest, InitRS485DeclaresTheBusWithoutProbing) {
  LONG count = -1, isRS485 = -1;
  ComPtr<IVNXMotor> none;
  ASSERT_EQ(host_->get_IsRS485(&isRS485), S_OK);
  EXPECT_EQ(isRS485, 0);
  EXPECT_EQ(Code(host_->put_IsRS485(1)), 19u);
  EXPECT_EQ(Code(host_->GetMotor(1, none.Out())), 19u);
  EXPECT_EQ(Code(host_->InitRS485(0, 0)), 19u);
  EXPECT_EQ(Code(host_->InitRS485(120, 0)), 19u);
  EXPECT_TRUE(Sent().empty());

  ASSERT_EQ(host_->InitRS485(119, 0), S_OK);
  ASSERT_EQ(host_->get_NoOfMotors(&count), S_OK);
  EXPECT_EQ(count, 119);
  EXPECT_TRUE(Motor(119));
  ASSERT_EQ(host_->InitRS485(2, 0), S_OK);
  ASSERT_EQ(host_->get_NoOfMotors(&count), S_OK);
  EXPECT_EQ(count, 2);
  for (LONG address : {3, 120, -1}) EXPECT_EQ(host_->GetMotor(address, none.Out()), E_FAIL) << address;
  EXPECT_EQ(host_->GetMotor(1, nullptr), E_POINTER);
  ASSERT_EQ(host_->get_IsRS485(&isRS485), S_OK);
  EXPECT_EQ(isRS485, 1);
  EXPECT_EQ(host_->put_IsRS485(1), S_OK);

  const Lines sent = Sent();
  ASSERT_GE(sent.size(), 3u);
  EXPECT_EQ(Lines(sent.begin(), sent.begin() + 3), (Lines{"@0 WAKE", "@0 ECHO_OFF", "@0 END"}));
  for (const auto& line : sent) EXPECT_EQ(line.find("R"), std::string::npos) << "nothing is asked: " << line;
}

TEST_F(HostMotorListTest, PortMustBeOpen) {
  ASSERT_EQ(host_->ClosePort(), S_OK);
  EXPECT_EQ(Code(host_->InitRS485(2, 0)), 8u);
  ComPtr<IVNXMotor> motor;
  EXPECT_EQ(host_->GetMotor(0, motor.Out()), E_FAIL);
  EXPECT_EQ(TakeFailure().description, "The serial port in not open!");
}

}  // namespace
}  // namespace velkor::engine::testing
