// The images the engine carries and what it makes of a motor's checksum
// answer and firmware version.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "engine/motor/program_image.h"

namespace transfer = velkor::engine::transfer;
using transfer::BuiltInImage;

namespace {

std::string Body(const std::string& image, std::size_t labelPart) {
  return image.substr(17 + labelPart, image.size() - 17 - labelPart - 3);
}

}  // namespace

TEST(ProgramImage, BuiltInImagesCarryTheirOwnChecksumAndLength) {
  struct Case {
    BuiltInImage image;
    const char* header;
    std::size_t labelPart;
    const char* body;
  };
  const Case cases[] = {
      {BuiltInImage::PlainProbe, "$4000000200000008", 26, "a=a END\n"},
      {BuiltInImage::NewFirmwareProbe, "$5000000200000008", 42, "a=a END\n"},
      {BuiltInImage::ChannelOneProbe, "$40000004F0000016", 26, "PRINT1(\"a=a\",#13)\nEND\n"},
      {BuiltInImage::HostProbe, "$40000004BF000015", 26, "PRINT(\"a=a\",#13)\nEND\n"},
      {BuiltInImage::EmptyProgram, "$40000000E1000004", 26, "END\n"},
      {BuiltInImage::HostEmptyProgram, "$40000000EB000005", 26, "END\n\n"},
  };
  for (const Case& c : cases) {
    const std::string image = transfer::BuiltIn(c.image);
    EXPECT_EQ(image.substr(0, 17), c.header);
    EXPECT_EQ(Body(image, c.labelPart), c.body);
    EXPECT_EQ(image.substr(image.size() - 3), transfer::kImageTerminator);
  }
  EXPECT_EQ(transfer::BuiltIn(BuiltInImage::NewFirmwareProbe).substr(17, 42),
            "000FF00008FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF");
  EXPECT_EQ(transfer::BuiltIn(BuiltInImage::EmptyProgram).size(), 47u + 3u);

  std::string servo = transfer::BuiltIn(BuiltInImage::EmptyProgram);
  transfer::MarkForServo(servo);
  EXPECT_EQ(servo.substr(0, 5), "$4630");
}

TEST(ProgramImage, ChecksumAnswersAreCheckedToTheLetter) {
  using transfer::ChecksumStatus;
  EXPECT_TRUE(transfer::IsChecksumAnswer("0000EB 0000EB P", ChecksumStatus::PassedOnly));
  EXPECT_FALSE(transfer::IsChecksumAnswer("0000EB 0000EB F", ChecksumStatus::PassedOnly));
  EXPECT_TRUE(transfer::IsChecksumAnswer("0000EB 0000EC F", ChecksumStatus::PassedOrFailed));
  EXPECT_TRUE(transfer::IsChecksumAnswer("abcdef 0000eb P", ChecksumStatus::PassedOnly));
  for (const char* bad : {" P", "0000EB 0000EB", "0000EB 0000EB X", "0000EB-0000EB P", "0000EG 0000EB P",
                          "0000EB 0000EB P ", ""}) {
    EXPECT_FALSE(transfer::IsChecksumAnswer(bad, ChecksumStatus::PassedOrFailed)) << bad;
  }
  EXPECT_EQ(transfer::StoredChecksum("0000EB 0004BF P"), 0x4BFu);
  EXPECT_EQ(transfer::ExpectedChecksum("$40000000EB000005"), 0xEB);
  EXPECT_EQ(transfer::ExpectedChecksum("$4000zz00EB"), -1);
  EXPECT_EQ(transfer::ExpectedChecksum("$400"), -1);
}

TEST(ProgramImage, VersionRulesKeepServoAndOlderImagesApart) {
  struct Case {
    const char* image;
    const char* firmware;
    bool compatible;
  };
  const Case cases[] = {
      {"4000", "450", true},    {"4000", "500", false},  {"5000", "500", true},   {"4000", "462", false},
      {"4610", "461", true},    {"4610", "461h", true},  {"4610", "462", false},  {"4620", "462ah", true},
      {"4620", "461", false},   {"4630", "463", true},   {"4630", "465", true},   {"4630", "462ah", false},
      {"4630", "450", false},   {"4000", "", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(transfer::VersionCompatible(c.image, c.firmware), c.compatible) << c.image << " on " << c.firmware;
  }
  EXPECT_TRUE(transfer::HasExtension("/tmp/PROG.SCX", ".scx"));
  EXPECT_FALSE(transfer::HasExtension("scx", ".scx"));
}
