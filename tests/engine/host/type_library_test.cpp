// The type library description shipped beside the library agrees with the
// interfaces' published slots and DISPIDs.

#include <gtest/gtest.h>

#include "tests/support/test_environment.h"

namespace {
std::string Description() {
  return velkor::testing::ReadFile(std::filesystem::read_symlink("/proc/self/exe").parent_path() / "Velkor.tlb.json");
}
}  // namespace

TEST(TypeLibraryDescription, NamesTheLibraryItsClassesAndEnumerations) {
  const std::string text = Description();
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.find("\"name\": \"VELKORLib\""), std::string::npos);
  EXPECT_NE(text.find("\"uuid\": \"{5A3E71C0-4D2B-11D4-9C1E-0040A1B2C3D4}\""), std::string::npos);
  EXPECT_NE(text.find("\"version\": \"2.0\""), std::string::npos);
  EXPECT_NE(text.find("\"helpstring\": \"Velkor 2.0 Type Library\""), std::string::npos);
  EXPECT_NE(text.find("{\"name\": \"vnx_space\", \"value\": 4}"), std::string::npos);
  EXPECT_NE(text.find("{\"name\": \"vnx_clockwise\", \"value\": 1}"), std::string::npos);
  EXPECT_NE(text.find("\"name\": \"VNXMotor\", \"uuid\": \"{2A6D9F40-8E13-4D57-9C2B-F05A7E4B1D93}\", \"progid\": "
                      "\"VNXEngine.Motor.1\", \"versionIndependentProgid\": \"VNXEngine.Motor\", \"helpstring\": "
                      "\"Motor Class\", \"creatable\": false"),
            std::string::npos);
}

TEST(TypeLibraryDescription, SlotsAndDispidsAreThePublishedOnes) {
  const std::string text = Description();
  // First, property pairs and last member of IVNXComm as published.
  for (const char* member : {
           "{\"slot\": 7, \"dispid\": 1, \"kind\": \"method\", \"name\": \"OpenPort\"",
           "{\"slot\": 19, \"dispid\": 13, \"kind\": \"propget\", \"name\": \"DefaultMotor\"",
           "{\"slot\": 20, \"dispid\": 13, \"kind\": \"propput\", \"name\": \"DefaultMotor\"",
           "{\"slot\": 31, \"dispid\": 28, \"kind\": \"propget\", \"name\": \"PortName\"",
           "{\"slot\": 63, \"dispid\": 51, \"kind\": \"propget\", \"name\": \"EngineVersion\"",
           "{\"slot\": 69, \"dispid\": 57, \"kind\": \"method\", \"name\": \"ReorderMotors\"",
       })
    EXPECT_NE(text.find(member), std::string::npos) << member;
  // The result argument and an optional one are described as such.
  EXPECT_NE(text.find("{\"name\": \"OldMotorAddress\", \"type\": \"LONG*\", \"direction\": \"out\", \"retval\": true}"),
            std::string::npos);
  EXPECT_NE(text.find("{\"name\": \"MinTimeDelta\", \"type\": \"VARIANT\", \"direction\": \"in\", \"optional\": true}"),
            std::string::npos);
  EXPECT_NE(text.find("{\"name\": \"Motor\", \"type\": \"IVNXMotor**\", \"direction\": \"out\", \"retval\": true}"),
            std::string::npos);
  // IVNXMotor has 42 members after the seven inherited slots.
  EXPECT_NE(text.find("{\"slot\": 48, \"dispid\": 39, \"kind\": \"method\", \"name\": \"SetMotorLong\""),
            std::string::npos);
}
