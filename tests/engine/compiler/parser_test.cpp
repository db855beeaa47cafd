#include <gtest/gtest.h>

#include <string>

#include "engine/compiler/diagnostics.h"
#include "tests/engine/compiler/compile_helpers.h"

using velkor::testing::Diagnose;
using Places = std::vector<velkor::testing::Place>;

namespace {

struct Case {
  const char* program;
  Places expected;
};

void ExpectDiagnostics(std::initializer_list<Case> cases) {
  for (const Case& c : cases) EXPECT_EQ(Diagnose(c.program), c.expected) << c.program;
}

}  // namespace

TEST(Parser, AcceptsCorrectProgramsWithoutDiagnostics) {
  const char* programs[] = {
      "END",
      "a=1\nb=a+2\nc=-b*-3\nEND\n",
      "KP=100 KD=200 KI=5\nP=a V-500 A100 BAUD9600 BAUD=2500\nEND",
      "RP Ra Ral[2] RDINA5 RAMPS\nEND",
      "IF a==1\nb=2\nELSEIF a==2\nb=3\nELSE\nb=4\nENDIF\nEND",
      "SWITCH a\nCASE 1\nb=1\nBREAK\nCASE -2\nb=2\nDEFAULT\nb=0\nENDS\nEND",
      "WHILE a<10\na=a+1\nIF a==5\nBREAK\nENDIF\nLOOP\nEND",
      "C1\nGOSUB2\nGOTO1\nC2\nRETURN\nEND",
      "PRINT(\"a=\",a,#13)\nPRINT(\"x\")\nEND",
      "OCHN(RS2,0,N,9600,0,8,D)\nCCHN(RS4,1)\nVST(a,10)\nVLD(al[3],2)\nEND",
      "DOUTA5,1\nAOUTB,3\nDINA3\na=DINA3+AINB2\nEND",
      "a=1 'a comment\n' a whole comment line\nEND 'done",
      "a=-2147483648\nP=2147483647\nEND",
      "a=b\n+\n3\nEND",  // statements are not bound to lines
  };
  for (const char* program : programs) EXPECT_EQ(Diagnose(program), Places{}) << program;
}

TEST(Parser, ReportsWhatTheStatementLacks) {
  ExpectDiagnostics({
      {"a=1", {{24, 1, 0}}},  // END missing: at the line after the last
      {"a=1\nEND\nb", {}},
      {"GOTO5\nEND", {{25, 0, 0}}},
      {"C5\nGOTO 5\nEND", {{20, 1, 5}}},
      {"C5\nGOSUB-5\nEND", {{20, 1, 5}}},  // a jump's label is joined to it
      {"C-5\nEND", {{116, 0, 2}}},
      {"PRINT(\"abc)\nEND", {{1, 0, 7}}},
      {"PRINT \"abc\"\nEND", {{2, 0, 6}}},
      {"PRINT(a b)\nEND", {{6, 0, 8}}},
      {"OCHN(RS3,0,N,9600,0,8,D)\nEND", {{10, 0, 5}}},
      {"OCHN(RS2,0,X,9600,0,8,D)\nEND", {{11, 0, 11}}},
      {"OCHN(RS2,0,N,9600,0,8,Q)\nEND", {{12, 0, 22}}},
      {"OCHN(RS2,0,N,9600,0,8)\nEND", {{14, 0, 21}}},
      {"VST(5,1)\nEND", {{13, 0, 4}}},
      {"CCHN(RS2 1)\nEND", {{6, 0, 9}}},
      {"CCHN(RS2,1\nEND", {{3, 1, 0}, {24, 2, 0}}},  // the END was taken by the statement
      {"PRINT(#a)\nEND", {{4, 0, 7}}},
      {"PRINT(\"x\",#)\nEND", {{4, 0, 11}}},
      {"a=RP\nEND", {{15, 0, 2}}},
      {"a=GOTO1\nC1\nEND", {{15, 0, 2}}},
      {"a=+\nEND", {{19, 0, 2}}},
      {"VER=5\nEND", {{23, 0, 3}}},
      {"al 5\nEND", {{16, 0, 3}}},
      {"al[1\nEND", {{17, 1, 0}, {24, 2, 0}}},
      {"xyz=1\nEND", {{20, 0, 0}}},
      {"a=1+2*3\nEND", {{20, 0, 5}}},  // no chaining: the * starts a statement
      {"a -\nEND", {{4, 1, 0}, {24, 2, 0}}},
  });
}

TEST(Parser, ChecksConstantsAndRanges) {
  ExpectDiagnostics({
      {"KP=40000\nEND", {{118, 0, 3}}},
      {"KP=a\nEND", {{200, 0, 3}}},
      {"KP=-1\nEND", {{118, 0, 3}}},
      {"P=a\nEND", {}},
      {"BAUD=1234\nEND", {{123, 0, 5}}},
      {"BAUD1234\nEND", {{123, 0, 0}}},
      {"OCHN(RS2,0,N,2500,0,8,D)\nEND", {{123, 0, 13}}},
      {"OCHN(RS2,3,N,9600,0,7,D)\nEND", {{104, 0, 9}, {124, 0, 20}}},
      {"al[60]=1\nEND", {{107, 0, 3}}},
      {"al[a]=1\nEND", {{200, 0, 3}}},
      {"ab[1]=200\nEND", {{114, 0, 6}}},
      {"ab[1] 5 -200\nEND", {{114, 0, 9}}},
      {"aw[102]=a\nEND", {{109, 0, 3}, {200, 0, 8}}},
      {"KP=2*20000\nEND", {{118, 0, 3}}},  // folded to a constant
      {"KP=a*2\nEND", {{200, 0, 3}}},
      {"DOUTA64,300\nEND", {{108, 0, 0}, {115, 0, 8}}},
      {"DINA5=1\nEND", {{23, 0, 5}}},
      {"V-5\nO1=2\nEND", {{103, 1, 3}}},
      {"C1000\nEND", {{116, 0, 0}}},
      {"a=99999999999\nEND", {{122, 0, 2}}},
      {"P=-2147483649\nEND", {{122, 0, 3}}},
      {"KP=5/0\nEND", {{44, 0, 5}}},
      {"a=-2147483648/-1\nEND", {}},
  });
}

TEST(Parser, MatchesStructures) {
  ExpectDiagnostics({
      {"IF a\nELSE\nb=1\nELSE\nb=2\nENDIF\nEND", {{29, 4, 0}}},  // at the token after the second ELSE
      {"IF a\nb=1\nEND", {{26, 0, 0}}},
      {"  WHILE a\nEND", {{32, 0, 2}}},
      {"SWITCH a\nCASE 1\nEND", {{34, 0, 0}}},
      {"ENDIF\nEND", {{31, 0, 0}}},
      {"ELSEIF a\nEND", {{27, 0, 0}}},
      {"IF a\nELSE\nELSEIF b\nENDIF\nEND", {{30, 2, 0}}},
      {"LOOP\nEND", {{33, 0, 0}}},
      {"SWITCH a\nb=1\nENDS\nEND", {{35, 1, 0}}},
      {"CASE 1\nEND", {{36, 0, 0}}},
      {"SWITCH a\nCASE 1\nDEFAULT\nCASE 2\nENDS\nEND", {{38, 3, 0}}},
      {"SWITCH a\nCASE 1\nDEFAULT\nDEFAULT\nENDS\nEND", {{39, 3, 0}}},
      {"ENDS\nEND", {{40, 0, 0}}},
      {"BREAK\nEND", {{41, 0, 0}}},
      {"SWITCH a\nCASE x\nENDS\nEND", {{4, 1, 5}}},
      // An unclosed inner structure is reported when the outer one closes.
      {"IF a\nWHILE b\nENDIF\nEND", {{32, 1, 0}}},
  });
}

TEST(Parser, StopsAtFiftyLevelsOfNesting) {
  std::string program;
  for (int i = 0; i < 51; ++i) program += "WHILE a\n";
  program += "xyz\n";
  for (int i = 0; i < 51; ++i) program += "LOOP\n";
  EXPECT_EQ(Diagnose(program), (Places{{70, 50, 0}}));  // and nothing after it

  std::string fifty;
  for (int i = 0; i < 50; ++i) fifty += "IF a\n";
  for (int i = 0; i < 50; ++i) fifty += "ENDIF\n";
  EXPECT_EQ(Diagnose(fifty + "END"), Places{});
}

TEST(Parser, StopsAtTheLimits) {
  EXPECT_EQ(Diagnose("xyz\nxyz\nxyz\n", 2), (Places{{20, 0, 0}, {20, 1, 0}, {21, -1, -1}}));
  EXPECT_EQ(Diagnose("KP=40000\nEND", 50, 1), (Places{{118, 0, 3}, {22, -1, -1}}));
  // The limit reached inside a statement: nothing is recorded after it.
  EXPECT_EQ(Diagnose("DOUTA64,300\nxyz\n", 50, 1), (Places{{108, 0, 0}, {22, -1, -1}}));

  velkor::engine::compiler::Compiler compiler;
  compiler.SetMaxWarnings(1);
  compiler.Compile("KP=40000\nEND");
  EXPECT_EQ(compiler.Errors().ErrorCount(), 1);
  EXPECT_EQ(compiler.Errors().WarningCount(), 1);
  EXPECT_EQ(compiler.Errors().Records()[1].description, "Too many Warnings.");
}

TEST(Parser, RefusesLabelsThatTheImageCannotHold) {
  std::string program;
  for (int i = 0; i <= 1000; ++i) program += "C" + std::to_string(i % 1000) + "\n";
  program += "END\n";
  EXPECT_EQ(Diagnose(program), (Places{{42, 1000, 0}}));
  EXPECT_EQ(Diagnose("C65531\nEND"), (Places{{116, 0, 0}}));
  EXPECT_EQ(Diagnose("C65532\nEND"), (Places{{116, 0, 0}, {43, 0, 0}}));
  EXPECT_EQ(Diagnose("C99999999999\nGOTO99999999999\nEND"),
            (Places{{122, 0, 0}, {116, 0, 0}, {43, 0, 0}, {122, 1, 0}, {116, 1, 0}}));
}

TEST(Diagnostics, NameEveryCode) {
  using velkor::engine::compiler::DiagnosticMessage;
  EXPECT_EQ(DiagnosticMessage(5), "'\"' expected.");
  EXPECT_EQ(DiagnosticMessage(70), "Too many nested keywords. Cannot continue!");
  EXPECT_EQ(DiagnosticMessage(103), "Constant out of range. (0 or 1).");
  EXPECT_EQ(DiagnosticMessage(200), "Possible loss of data/Range mismatch.");
  EXPECT_EQ(DiagnosticMessage(99), "Unknown Error! (Code:99)");
  EXPECT_EQ(DiagnosticMessage(150), "Unknown Warning! (Code:150)");
}
