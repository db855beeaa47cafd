#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/engine/compiler/compile_helpers.h"
#include "tests/support/engine_error.h"

using velkor::testing::BodyOf;
using velkor::testing::ImageOf;
using velkor::testing::PlacesOf;

namespace {

// The header an image of this normalized text must carry.
std::string Header(const std::string& normalized, unsigned labelChecksum = 0, unsigned labelSlots = 4) {
  std::int32_t sum = 0;
  for (char c : normalized) sum += static_cast<signed char>(c);
  sum &= 0xFFFFFF;
  char header[64];
  std::snprintf(header, sizeof header, "$4000%06X%06X%06X%04X", static_cast<unsigned>(sum),
                static_cast<unsigned>(normalized.size()), labelChecksum, labelSlots);
  return header;
}

std::string HeaderOf(const std::string& image) { return image.substr(0, 27); }

}  // namespace

TEST(Image, OfTheSingleEndProgram) {
  const std::string expected = "$4000" "0000E1" "000004" "000000" "0004" "0000000000000000" "END\n";
  EXPECT_EQ(ImageOf("END"), expected);
  EXPECT_EQ(ImageOf("END\n"), expected);
  EXPECT_EQ(ImageOf("END\r\n"), expected);
}

TEST(Image, LowersStructuresToTemplatesWithTheirTargets) {
  struct Case {
    const char* program;
    const char* normalized;  // what the motor stores
    const char* body;        // as written, with the templates
  };
  const Case cases[] = {
      {"IF a==1\nb=2\nENDIF\nEND", "IF a==1\nb=2\nENDIF\nEND\n", "$I0012a==1\nb=2\nENDIF\nEND\n"},
      {"WHILE a<5\na=a+1\nLOOP\nEND", "WHILE a<5\na=a+1\nLOOP\nEND\n", "$W0015LE a<5\na=a+1\n$L0000P\nEND\n"},
      {"IF a==1\nb=1\nELSEIF a==2\nb=2\nELSE\nb=3\nENDIF\nEND",
       "IF a==1\nb=1\nELSEIF a==2\nb=2\nELSE\nb=3\nENDIF\nEND\n",
       "$I0010a==1\nb=1\n$A002BE$I0021a==2\nb=2\n$E002BE\nb=3\nENDIF\nEND\n"},
      {"SWITCH a\nCASE 1\nb=1\nBREAK\nCASE 2\nb=2\nDEFAULT\nb=0\nENDS\nEND",
       "SWITCH a\nCASE 1\nb=1\nBREAK\nCASE 2\nb=2\nDEFAULT\nb=0\nENDS\nEND\n",
       "$S000ATCH a\n$C$c001B 1\nb=1\n$X0031AK\n$C$c0025 2\nb=2\n$DEFAULT\nb=0\n$eNDS\nEND\n"},
      {"WHILE a<3 a=a+1 IF a==2 BREAK ENDIF LOOP END", "WHILE a<3 a=a+1 IF a==2 BREAK ENDIF LOOP END\n",
       "$W0029LE a<3 a=a+1 $I0024a==2 $X0029AK ENDIF $L0000P END\n"},
      // Closed by the very last token: the target is the end of the body.
      {"END\nWHILE a\nLOOP", "END\nWHILE a\nLOOP\n", "END\n$W0011LE a\n$L0004P\n"},
      {"END\nIF a\nENDIF", "END\nIF a\nENDIF\n", "END\n$I000Fa\nENDIF\n"},
      // A comment after the closing keyword: the target is the next token
      // written, never address 0.
      {"IF a==1\nb=1\nELSE 'other\nc=2\nENDIF\nEND", "IF a==1\nb=1\nELSE\nc=2\nENDIF\nEND\n",
       "$I0011a==1\nb=1\n$E001BE\nc=2\nENDIF\nEND\n"},
      {"WHILE a\na=a-1\nLOOP 'again\nEND", "WHILE a\na=a-1\nLOOP\nEND\n", "$W0013LE a\na=a-1\n$L0000P\nEND\n"},
  };
  for (const Case& c : cases) {
    const std::string image = ImageOf(c.program);
    EXPECT_EQ(BodyOf(image), c.body) << c.program;
    EXPECT_EQ(HeaderOf(image), Header(c.normalized)) << c.program;
  }
}

// Structures nested in each other: a jump leaves its own structure only
// through the targets its own links give, never into the condition of an
// enclosing one. Each program is written as the motor stores it (the first
// CASE belongs to its SWITCH's statement and takes no space before it).
TEST(Image, NestedStructuresJumpToTheirOwnTargets) {
  struct Case {
    const char* program;
    const char* body;
  };
  const Case cases[] = {
      // A failing inner IF goes to the outer ELSEIF's "$A" part, which leaves
      // the outer block, not into that ELSEIF's condition.
      {"IF a==1\nIF b==1\nc=1\nENDIF\nELSEIF a==2\nc=2\nENDIF\nEND",
       "$I001Ea==1\n$I001Ab==1\nc=1\nENDIF\n$A0030E$I0030a==2\nc=2\nENDIF\nEND\n"},
      // The same for the last inner ELSEIF; the inner ones still test each other.
      {"IF a IF b c=1 ELSEIF d c=2 ENDIF ELSEIF e c=3 ENDIF END",
       "$I0025a $I0012b c=1 $A0021E$I0021d c=2 ENDIF $A0034E$I0034e c=3 ENDIF END\n"},
      // A WHILE and its BREAK leave to the ELSEIF after the LOOP by its "$A".
      {"IF a WHILE b BREAK LOOP ELSEIF c d=1 ENDIF END",
       "$I001Ca $W0018LE b $X0018AK $L0005P $A002BE$I002Bc d=1 ENDIF END\n"},
      // An IF inside a CASE falls to the next CASE's "$C"; a BREAK inside it
      // belongs to the SWITCH, inside a WHILE as well.
      {"WHILE a SWITCH b CASE 1 IF c BREAK ENDIF CASE 2 BREAK ENDS LOOP END",
       "$W003FLE a $S0011TCH b$C$c0029 1 $I0028c $X0035AK ENDIF $C$c0035 2 $X0035AK $eNDS $L0000P END\n"},
      // A BREAK in a WHILE inside a SWITCH leaves the SWITCH.
      {"SWITCH a CASE 1 WHILE b BREAK LOOP DEFAULT c=1 ENDS END",
       "$S0009TCH a$C$c0022 1 $W0022LE b $X002EAK $L000FP $DEFAULT c=1 $eNDS END\n"},
      // An IF with ELSEIF inside an ELSE ends at the outer ENDIF.
      {"IF a b=1 ELSE IF c b=2 ELSEIF d b=3 ENDIF ENDIF END",
       "$I000Ea b=1 $E0030E $I001Bc b=2 $A002AE$I002Ad b=3 ENDIF ENDIF END\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(BodyOf(ImageOf(c.program)), c.body) << c.program;
}

TEST(Image, WritesTheLabelTableAndJumps) {
  const std::string labels = ImageOf("C0\nC4\nEND");
  EXPECT_EQ(HeaderOf(labels), Header("C0\nC4\nEND\n", 3, 8));
  EXPECT_EQ(labels.substr(27, 32), "0000" "0000" "0000" "0000" "0003" "0000" "0000" "0000");

  const std::string jumps = ImageOf("C1\nGOSUB2\nGOTO1\nC2\nRETURN\nEND");
  EXPECT_EQ(HeaderOf(jumps), Header("C1\nGOSUB2\nGOTO1\nC2\nRETURN\nEND\n", 0x10, 4));
  EXPECT_EQ(jumps.substr(27, 16), "0000" "0000" "0010" "0000");
  EXPECT_EQ(BodyOf(jumps), "C1\n$G0010UB2\n$B0000O1\nC2\nRETURN\nEND\n");

  // A label defined twice: the first definition is the target.
  EXPECT_EQ(BodyOf(ImageOf("GOTO3\nC3\nC3\nEND")), "$B0006O3\nC3\nC3\nEND\n");
}

TEST(Image, NormalizesSpacingAndDropsComments) {
  EXPECT_EQ(BodyOf(ImageOf("  a = b + c   KP=5\nEND")), "a=b+c KP=5\nEND\n");
  EXPECT_EQ(BodyOf(ImageOf("a=1 'set a\n' a comment line\n\n\nEND")), "a=1\nEND\n");
  EXPECT_EQ(BodyOf(ImageOf("PRINT( \"a  b\" , #13 )\nEND")), "PRINT(\"a  b\",#13)\nEND\n");
  EXPECT_EQ(BodyOf(ImageOf("a=b\n+\n3\nEND")), "a=b\n+\n3\nEND\n");
}

TEST(Image, SumsBytesAsSignedValuesInSixDigits) {
  const std::string program = "PRINT(\"" + std::string(200, '\x80') + "\")\nEND";
  std::int32_t sum = 0;
  for (char c : program + "\n") sum += static_cast<signed char>(c);
  ASSERT_LT(sum, 0);
  char expected[8];
  std::snprintf(expected, sizeof expected, "%06X", static_cast<unsigned>(sum) & 0xFFFFFFu);
  const std::string image = ImageOf(program);
  EXPECT_EQ(image.substr(5, 6), expected);
  EXPECT_EQ(image.substr(11, 6), "0000D6");  // the length stays in its place
}

TEST(Compiler, LeavesNothingOfARunToTheNext) {
  std::string longProgram;
  for (int i = 0; i < 300; ++i) {
    longProgram += "C" + std::to_string(i) + "\nIF a==1\nGOSUB" + std::to_string(i) + "\nELSE 'x\nb=2\nENDIF\n";
  }
  longProgram += "KP=40000\nEND\n";  // one warning
  // GOTO5 after the long program: its label is gone with it.
  const std::string programs[] = {longProgram, "GOTO5\nEND", "C5\nWHILE a\nLOOP\nGOTO5\nEND", longProgram, "END", ""};
  velkor::engine::compiler::Compiler used;
  for (const std::string& program : programs) {
    used.Compile(program);
    velkor::engine::compiler::Compiler fresh;
    fresh.Compile(program);
    const std::string shortName = program.substr(0, 20);
    ASSERT_EQ(PlacesOf(used), PlacesOf(fresh)) << shortName;
    EXPECT_EQ(used.Program().lines.size(), fresh.Program().lines.size()) << shortName;
    EXPECT_EQ(used.Program().tokens.size(), fresh.Program().tokens.size()) << shortName;
    EXPECT_EQ(used.Program().labels, fresh.Program().labels) << shortName;
    if (fresh.Errors().ErrorCount() == 0) {
      EXPECT_EQ(used.Image(), fresh.Image()) << shortName;
    }
  }
  const std::vector<velkor::testing::Place> endMissing = {{24, 1, 0}};
  EXPECT_EQ(PlacesOf(used), endMissing);  // the empty program lacks its END
}

TEST(Image, IsRefusedWhileTheProgramHasErrors) {
  EXPECT_EQ(ImageOf("IF a\nEND"), "<errors>");
  EXPECT_NE(ImageOf("KP=40000\nEND"), "<errors>");  // warnings do not stop it
}

// The header's length field has six hexadecimal digits: a longer body is
// refused rather than described by a malformed header.
TEST(Image, ABodyTheHeaderCannotDescribeIsRefused) {
  const std::string line = "PRINT(\"" + std::string(240, 'x') + "\")\n";
  std::string program;
  while (program.size() <= 0xFFFFFF) program += line;
  velkor::engine::compiler::Compiler compiler;
  compiler.Compile(program + "END\n");
  ASSERT_EQ(compiler.Errors().ErrorCount(), 0);
  EXPECT_EQ(velkor::testing::ErrorCodeOf([&] { compiler.Image(); }), 39u);
}
