// IVNXComm's port and command members as a client sees them, against
// simulated motors.

#include <gtest/gtest.h>

#include "tests/support/engine_failure.h"
#include "tests/support/simulated_motors.h"
#include "tests/support/test_environment.h"
#include "velkor/automation.h"
#include "velkor/interfaces.h"

using velkor::Bstr;
using velkor::ComPtr;
using velkor::testing::TakeFailure;

namespace {

class CommTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(velkor::CreateObject("VNXEngine.VNXHost", IID_IVNXComm, host_.OutVoid()), S_OK);
  }
  void OpenChain(const std::string& scenario) {
    simulator_ = velkor::testing::StartMotors(scenario);
    ASSERT_TRUE(simulator_);
    Bstr device(simulator_->DevicePath(0));
    ASSERT_EQ(host_->OpenPort(device.get()), S_OK) << TakeFailure().description;
  }
  std::string Ask(const char* command) {
    Bstr text(command), answer;
    EXPECT_EQ(host_->GetResponseOf(text.get(), answer.Out()), S_OK);
    return answer.Utf8();
  }

  velkor::testing::TemporaryRegistry registry_;
  ComPtr<IVNXComm> host_;
  std::unique_ptr<velkor::sim::Simulator> simulator_;
};

}  // namespace

TEST_F(CommTest, ClosedPortRefusesTrafficWithCode8) {
  Bstr text("RP"), answer;
  EXPECT_EQ(host_->GetResponseOf(text.get(), answer.Out()), E_FAIL);
  auto failure = TakeFailure();
  EXPECT_EQ(failure.description, "The serial port in not open!");
  EXPECT_EQ(failure.helpContext, 8u);
  EXPECT_EQ(host_->WriteCmd(text.get()), E_FAIL);
  EXPECT_EQ(host_->ClearBuffer(), E_FAIL);
  EXPECT_EQ(host_->put_DefaultMotor(2), E_FAIL);
  EXPECT_EQ(host_->put_Echo(VARIANT_FALSE), E_FAIL);
  EXPECT_EQ(TakeFailure().helpContext, 8u);
  LONG handle = 0;
  EXPECT_EQ(host_->get_PortHandle(&handle), S_OK);
  EXPECT_EQ(handle, -1);
  Bstr name;
  EXPECT_EQ(host_->get_PortName(name.Out()), S_OK);
  EXPECT_EQ(name.Utf8(), "Com1");
}

TEST_F(CommTest, OpeningNeedsANameThatLeadsToAPort) {
  EXPECT_EQ(host_->OpenPort(nullptr), E_FAIL);
  EXPECT_EQ(TakeFailure().description, "Invalid Data!");
  Bstr missing("/dev/velkor-no-such-port");
  EXPECT_EQ(host_->OpenPort(missing.get()), E_FAIL);
  auto failure = TakeFailure();
  EXPECT_EQ(failure.description, "Cannot open serial port!");
  EXPECT_EQ(failure.helpContext, 2u);
}

TEST_F(CommTest, CommandsAnswersAndSelection) {
  OpenChain("port chain\nmotor address=1 firmware=441\nmotor address=2 firmware=452\n");
  LONG handle = -1;
  host_->get_PortHandle(&handle);
  EXPECT_GE(handle, 0);
  EXPECT_EQ(Ask("2RSP"), "24576/452");
  LONG address = 0;
  host_->get_DefaultMotor(&address);
  EXPECT_EQ(address, 2);
  EXPECT_EQ(host_->put_DefaultMotor(1), S_OK);
  EXPECT_EQ(Ask("RSP"), "24576/441");

  Bstr set("b=42");
  EXPECT_EQ(host_->WriteCommand(set.get()), S_OK);
  EXPECT_EQ(Ask("Rb"), "42");
  EXPECT_EQ(host_->WriteCmd(Bstr("2c=9").get()), S_OK);
  EXPECT_EQ(Ask("Rc"), "9");

  // Raw bytes: a written string is echo-checked, a read string is what waits.
  EXPECT_EQ(host_->WriteString(Bstr("RSP\r").get()), S_OK);
  Bstr line;
  EXPECT_EQ(host_->ReadResponse(line.Out()), S_OK);
  EXPECT_EQ(line.Utf8(), "24576/452");
  Bstr nothing("x");
  EXPECT_EQ(host_->ReadString(0, nothing.Out()), S_OK);
  EXPECT_TRUE(nothing.empty());
  EXPECT_EQ(host_->ReadString(256, nothing.Out()), E_FAIL);
  EXPECT_EQ(TakeFailure().helpContext, 19u);
  EXPECT_EQ(host_->WriteString(Bstr(std::string(256, 'a')).get()), E_FAIL);
  EXPECT_EQ(host_->GetResponseOf(Bstr("").get(), line.Out()), E_FAIL);
  EXPECT_EQ(TakeFailure().description, "Invalid Data!");

  LONG waiting = -1;
  EXPECT_EQ(host_->get_BytesAvailable(&waiting), S_OK);
  EXPECT_EQ(waiting, 0);
  EXPECT_EQ(host_->ClosePort(), S_OK);
  EXPECT_EQ(host_->get_BytesAvailable(&waiting), E_FAIL);
}

TEST_F(CommTest, LineSettingsAndTheirRefusals) {
  LONG value = 0;
  host_->get_CharDelay(&value);
  EXPECT_EQ(value, 2);
  EXPECT_EQ(host_->put_BaudRate(0), E_FAIL) << "a rate of 0 is refused";
  EXPECT_EQ(TakeFailure().helpContext, 19u);
  EXPECT_EQ(host_->put_BaudRate(19200), S_OK) << "closed: only stored";
  host_->get_BaudRate(&value);
  EXPECT_EQ(value, 19200);
  host_->put_BaudRate(9600);
  EXPECT_EQ(host_->put_Parity(static_cast<enum_parity>(7)), E_FAIL);
  EXPECT_EQ(host_->put_Parity(vnx_even), S_OK);
  enum_parity parity = vnx_none;
  host_->get_Parity(&parity);
  EXPECT_EQ(parity, vnx_even);
  host_->put_Parity(vnx_none);
  EXPECT_EQ(host_->put_Timeout(150), S_OK);
  host_->get_Timeout(&value);
  EXPECT_EQ(value, 150);
  // A negative wait would last weeks: refused, and the old one kept.
  EXPECT_EQ(host_->put_Timeout(-5), E_FAIL);
  EXPECT_EQ(TakeFailure().helpContext, 19u);
  EXPECT_EQ(host_->put_EchoTimeoutConst(-2), E_FAIL);
  EXPECT_EQ(TakeFailure().helpContext, 19u);
  EXPECT_EQ(host_->put_TxMaxRetry(-1), E_FAIL);
  EXPECT_EQ(TakeFailure().helpContext, 19u);
  EXPECT_EQ(host_->put_TxTimeoutMul(-1), S_OK) << "-1: computed";
  host_->get_Timeout(&value);
  EXPECT_EQ(value, 150);

  OpenChain("port chain\nmotor address=1\n");
  EXPECT_EQ(host_->put_BaudRate(38400), S_OK) << TakeFailure().description;
  EXPECT_EQ(Ask("1RSP"), "24576/450");
  host_->get_CharDelay(&value);
  EXPECT_EQ(value, 1);
  VARIANT_BOOL echo = VARIANT_FALSE;
  host_->get_Echo(&echo);
  EXPECT_EQ(echo, VARIANT_TRUE);
  EXPECT_EQ(host_->put_TxTimeoutConst(10), S_OK) << "re-programs the open port";
  EXPECT_EQ(Ask("1RSP"), "24576/450");
}
