#include <gtest/gtest.h>

#include "engine/core/errors.h"

using velkor::engine::CVNXException;
using velkor::engine::ErrorCode;
using velkor::engine::LineErrorFlags;

TEST(CVNXException, TakesItsMessageFromTheTableWithTheParameter) {
  CVNXException overflow(ErrorCode::MotorBufferOverflow, 3);
  EXPECT_EQ(overflow.Message(), "Motor(3):Buffer overflow!");
  EXPECT_EQ(overflow.Code(), 24u);
  EXPECT_EQ(overflow.Param(), 3u);

  EXPECT_EQ(CVNXException(18, std::nullopt, 5).Message(), "Error(5) writing to serial port!");
  EXPECT_EQ(CVNXException(8).Message(), "The serial port in not open!") << "the system's own text, typo kept";
  EXPECT_EQ(CVNXException(19, std::string("custom"), 7).Message(), "custom");
  EXPECT_EQ(CVNXException(19, std::string("custom"), 7).Param(), 7u);
  EXPECT_EQ(CVNXException(38).Message(), "");
  EXPECT_EQ(CVNXException(47).Message(), "");
  EXPECT_EQ(CVNXException(46).Message(), "Cannot communicate with any USB motor!");
}

TEST(LineErrorCode, FirstSetFlagWinsInTheDriversOrder) {
  EXPECT_FALSE(velkor::engine::LineErrorCode({}));
  LineErrorFlags all{true, true, true, true, true, true, true, true};
  EXPECT_EQ(*velkor::engine::LineErrorCode(all), ErrorCode::Framing);
  LineErrorFlags lateOnes;
  lateOnes.breakCondition = lateOnes.ioError = lateOnes.outputFull = true;
  EXPECT_EQ(*velkor::engine::LineErrorCode(lateOnes), ErrorCode::Break);
  LineErrorFlags output;
  output.outputFull = output.other = true;
  EXPECT_EQ(*velkor::engine::LineErrorCode(output), ErrorCode::OutputOverflow);
  LineErrorFlags other;
  other.other = true;
  EXPECT_EQ(*velkor::engine::LineErrorCode(other), ErrorCode::UnknownCommError);
}
