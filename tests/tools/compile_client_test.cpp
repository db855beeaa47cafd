#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/client_process.h"
#include "tests/support/test_environment.h"

using velkor::testing::ReadFile;
using velkor::testing::RunClient;
using velkor::testing::WriteFile;

namespace {

class CompileClientTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return (folder_.path() / name).string(); }
  velkor::testing::TemporaryFolder folder_;
  velkor::testing::TemporaryRegistry registry_;
};

}  // namespace

TEST_F(CompileClientTest, WritesTheImageBesideTheSource) {
  WriteFile(Path("move.src"), "KP=40000\nP=1000 G\nEND\n");
  auto run = RunClient("compile " + Path("move.src"));
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find(Path("move.src") + ":1:4: warning 118: Constant out of range. (0 .. 32767)."),
            std::string::npos)
      << run.output;
  EXPECT_EQ(ReadFile(Path("move.vqx")).substr(0, 5), "$4000");

  run = RunClient("compile " + Path("move.src") + " -o " + Path("other.img"));
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(ReadFile(Path("other.img")), ReadFile(Path("move.vqx")));
}

TEST_F(CompileClientTest, ListsErrorsWhereEditorsCountAndWritesNothing) {
  WriteFile(Path("bad.src"), "a=1\n\n\tIF a\n  xyz\n");
  auto run = RunClient("compile " + Path("bad.src"));
  EXPECT_EQ(run.status, 1) << run.output;
  const std::string prefix = Path("bad.src") + ":";
  EXPECT_NE(run.output.find(prefix + "4:3: error 20: Syntax error."), std::string::npos) << run.output;
  EXPECT_NE(run.output.find(prefix + "3:2: error 26: Illegal 'IF' without matching 'ENDIF'."), std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find(prefix + "5:1: error 24: 'END' expected."), std::string::npos) << run.output;
  EXPECT_FALSE(std::filesystem::exists(Path("bad.vqx")));

  WriteFile(Path("many.src"), "xyz\nxyz\nxyz\nEND\n");
  run = RunClient("compile " + Path("many.src") + " --max-errors 2");
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find(Path("many.src") + ": error 21: Too many Errors."), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find(":3:1:"), std::string::npos) << run.output;

  WriteFile(Path("warn.src"), "KP=40000\nEND\n");
  run = RunClient("compile " + Path("warn.src") + " --max-warnings 1");
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("error 22: Too many Warnings."), std::string::npos) << run.output;
}

TEST_F(CompileClientTest, FilesThatCannotBeReadOrWrittenAndBadUsage) {
  auto run = RunClient("compile " + Path("missing.src"));
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_NE(run.output.find("Can not open the file specified! (engine error 34)"), std::string::npos) << run.output;

  WriteFile(Path("end.src"), "END\n");
  run = RunClient("compile " + Path("end.src") + " -o " + Path("no/such/folder.vqx"));
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_NE(run.output.find("Can not open the file to write! (engine error 35)"), std::string::npos) << run.output;

  for (const std::string& arguments : {std::string("compile"), "compile " + Path("end.src") + " --max-errors 0",
                                       "compile " + Path("end.src") + " --bogus", std::string("compile a b")}) {
    run = RunClient(arguments);
    EXPECT_EQ(run.status, 2) << arguments << "\n" << run.output;
  }
}

// Files that would hurt: an endless source, an image over its own source,
// an image name that is a link.
TEST_F(CompileClientTest, HostileFilesAreRefusedOrWrittenThroughLinks) {
  auto run = RunClient("compile /dev/zero -o " + Path("zero.vqx"));
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_NE(run.output.find("File too long! (engine error 39)\n        sources are read up to 16 MiB"),
            std::string::npos)
      << run.output;

  WriteFile(Path("same.src"), "END\n");
  run = RunClient("compile " + Path("same.src") + " -o " + Path("same.src"));
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_NE(run.output.find("is the source itself"), std::string::npos) << run.output;
  WriteFile(Path("prog.vqx"), "END\n");  // its image name is itself
  run = RunClient("compile " + Path("prog.vqx"));
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_EQ(ReadFile(Path("prog.vqx")), "END\n");
  EXPECT_EQ(ReadFile(Path("same.src")), "END\n");

  std::filesystem::create_symlink(Path("target.vqx"), Path("link.vqx"));
  run = RunClient("compile " + Path("same.src") + " -o " + Path("link.vqx"));
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(std::filesystem::is_symlink(Path("link.vqx"))) << "written through the link, which stays";
  EXPECT_EQ(ReadFile(Path("target.vqx")).substr(0, 5), "$4000");
}
