#include <gtest/gtest.h>

#include "engine/host/configuration.h"
#include "engine/core/log.h"
#include "tests/support/test_environment.h"

namespace engine = velkor::engine;
using velkor::testing::WriteFile;

namespace {

std::string Hive(const char* root, const std::string& values) {
  return std::string("Windows Registry Editor Version 5.00\n\n[") + root +
         "\\SOFTWARE\\Trevano\\VNXEngine\\IVNXComm]\n" + values;
}

engine::HostLink Configured() {
  engine::HostLink link;
  engine::ApplyConfiguration(engine::ReadStoredConfiguration(), link);
  return link;
}

class ConfigurationTest : public ::testing::Test {
 protected:
  void TearDown() override {
    engine::log::SetFlags(0);
    engine::log::SetFileName("");
  }
  velkor::testing::TemporaryRegistry registry_;
};

}  // namespace

TEST_F(ConfigurationTest, WithoutTheKeyTheDefaultsStay) {
  engine::HostLink link = Configured();
  EXPECT_EQ(link.settings.txMaxRetry, 1);
  EXPECT_EQ(link.settings.txTimeoutMul, -1);
  EXPECT_EQ(link.settings.txTimeoutConst, -1);
  EXPECT_EQ(link.settings.echoTimeoutMul, -1);
  EXPECT_EQ(link.settings.echoTimeoutConst, 100);
  EXPECT_EQ(engine::log::Flags(), 0u);
}

TEST_F(ConfigurationTest, ValuesAreTakenWithTheEchoRules) {
  WriteFile(registry_.UserFile(), Hive("HKEY_CURRENT_USER",
                                       "\"TxMaxRetry\"=dword:00000003\n"
                                       "\"TxTimeoutMul\"=dword:00000000\n"
                                       "\"TxTimeoutConst\"=dword:00000007\n"
                                       "\"EchoTimeoutMul\"=dword:00000000\n"
                                       "\"EchoTimeoutConst\"=dword:00000000\n"
                                       "\"LogFlags\"=dword:00010011\n"
                                       "\"LogFileName\"=\"/tmp/velkor engine.log\"\n"));
  engine::HostLink link = Configured();
  EXPECT_EQ(link.settings.txMaxRetry, 3);
  EXPECT_EQ(link.settings.txTimeoutMul, 0) << "taken as stored";
  EXPECT_EQ(link.settings.txTimeoutConst, 7);
  EXPECT_EQ(link.settings.echoTimeoutMul, -1) << "below 1 means computed";
  EXPECT_EQ(link.settings.echoTimeoutConst, 100) << "below 1 means 100";
  EXPECT_EQ(engine::log::Flags(), 0x10011u);
  EXPECT_EQ(engine::log::FileName(), "/tmp/velkor engine.log");

  WriteFile(registry_.UserFile(), Hive("HKEY_CURRENT_USER",
                                       "\"EchoTimeoutMul\"=dword:ffffffff\n"
                                       "\"EchoTimeoutConst\"=dword:00000032\n"));
  link = Configured();
  EXPECT_EQ(link.settings.echoTimeoutMul, -1);
  EXPECT_EQ(link.settings.echoTimeoutConst, 50);
}

TEST_F(ConfigurationTest, MachineKeyOnlyWhenTheUsersKeyIsMissing) {
  WriteFile(registry_.MachineFile(), Hive("HKEY_LOCAL_MACHINE", "\"TxMaxRetry\"=dword:00000005\n"));
  EXPECT_EQ(Configured().settings.txMaxRetry, 5);
  // An existing user key wins even without the value: the machine's is not read.
  WriteFile(registry_.UserFile(), Hive("HKEY_CURRENT_USER", "\"TxTimeoutConst\"=dword:00000009\n"));
  engine::HostLink link = Configured();
  EXPECT_EQ(link.settings.txMaxRetry, 1);
  EXPECT_EQ(link.settings.txTimeoutConst, 9);
}

TEST_F(ConfigurationTest, ValuesOfAnotherTypeAreIgnored) {
  WriteFile(registry_.UserFile(), Hive("HKEY_CURRENT_USER",
                                       "\"TxMaxRetry\"=\"7\"\n"
                                       "\"LogFileName\"=dword:00000001\n"
                                       "\"LogFlags\"=hex:01,00,00,00\n"));
  engine::HostLink link = Configured();
  EXPECT_EQ(link.settings.txMaxRetry, 1);
  EXPECT_EQ(engine::log::FileName(), "");
  EXPECT_EQ(engine::log::Flags(), 0u);
}

TEST_F(ConfigurationTest, NetworkSettingsKeepTheAdaptersDefaultsUnlessValid) {
  engine::HostLink link = Configured();
  EXPECT_EQ(link.settings.net.broadcastAddress, "255.255.255.255");
  EXPECT_EQ(link.settings.net.discoveryPort, 30718);
  EXPECT_EQ(link.settings.net.discoveryLocalPort, 30718);
  EXPECT_EQ(link.settings.net.motorPort, 10001);

  WriteFile(registry_.UserFile(), Hive("HKEY_CURRENT_USER",
                                       "\"NetBroadcastAddress\"=\"192.168.1.255\"\n"
                                       "\"NetDiscoveryPort\"=dword:00001000\n"
                                       "\"NetDiscoveryLocalPort\"=dword:00000000\n"
                                       "\"NetMotorPort\"=dword:00002000\n"));
  link = Configured();
  EXPECT_EQ(link.settings.net.broadcastAddress, "192.168.1.255");
  EXPECT_EQ(link.settings.net.discoveryPort, 0x1000);
  EXPECT_EQ(link.settings.net.discoveryLocalPort, 0) << "the system picks one";
  EXPECT_EQ(link.settings.net.motorPort, 0x2000);

  // No port to send to, and numbers beyond the port range, leave the defaults.
  WriteFile(registry_.UserFile(), Hive("HKEY_CURRENT_USER",
                                       "\"NetBroadcastAddress\"=\"\"\n"
                                       "\"NetDiscoveryPort\"=dword:00000000\n"
                                       "\"NetDiscoveryLocalPort\"=dword:00010000\n"
                                       "\"NetMotorPort\"=dword:00000000\n"));
  link = Configured();
  EXPECT_EQ(link.settings.net.broadcastAddress, "255.255.255.255");
  EXPECT_EQ(link.settings.net.discoveryPort, 30718);
  EXPECT_EQ(link.settings.net.discoveryLocalPort, 30718);
  EXPECT_EQ(link.settings.net.motorPort, 10001);
}
