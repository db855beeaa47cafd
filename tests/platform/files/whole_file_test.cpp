#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/files/descriptor.h"
#include "platform/files/text.h"
#include "platform/files/whole_file.h"
#include "tests/support/test_environment.h"

namespace velkor::files {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

using velkor::testing::ReadFile;

class WholeFile : public ::testing::Test {
 protected:
  Names FolderEntries() const {
    Names names;
    for (const auto& entry : fs::directory_iterator(folder_.path())) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  velkor::testing::TemporaryFolder folder_;
  const fs::path file_ = folder_ / "settings.txt";
};

TEST_F(WholeFile, AReadTellsMissingFromFailed) {
  EXPECT_EQ(ReadWholeFile(file_).outcome, ReadOutcome::Missing);

  // Longer than one read, with bytes a text routine would stop at.
  std::string text(20000, 'x');
  text[5] = '\0';
  text[19999] = '\n';
  velkor::testing::WriteFile(file_, text);
  const FileText read = ReadWholeFile(file_);
  EXPECT_EQ(read.outcome, ReadOutcome::Done);
  EXPECT_EQ(read.text, text);

  // Neither of these is an empty file that could safely be written over.
  EXPECT_EQ(ReadWholeFile(folder_.path()).outcome, ReadOutcome::Failed);
  const FileText throughAFile = ReadWholeFile(file_ / "inner.txt");
  EXPECT_EQ(throughAFile.outcome, ReadOutcome::Failed);
  EXPECT_TRUE(throughAFile.text.empty());
}

TEST_F(WholeFile, AReplacementKeepsPermissionsAndLeavesNothingBehind) {
  ASSERT_TRUE(ReplaceFile(file_, "first\n"));
  EXPECT_EQ(ReadFile(file_), "first\n");

  fs::permissions(file_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_TRUE(ReplaceFile(file_, ""));
  EXPECT_EQ(ReadFile(file_), "");
  ASSERT_TRUE(ReplaceFile(file_, "second"));
  EXPECT_EQ(ReadFile(file_), "second");
  EXPECT_EQ(fs::status(file_).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(FolderEntries(), (Names{"settings.txt"}));
}

TEST_F(WholeFile, AReplacementThatCannotHappenChangesNothing) {
  EXPECT_FALSE(ReplaceFile(folder_ / "missing folder" / "a.txt", "text"));
  EXPECT_FALSE(fs::exists(folder_ / "missing folder"));

  fs::create_directory(file_);  // the rename over a folder fails after the write
  EXPECT_FALSE(ReplaceFile(file_, "text"));
  EXPECT_TRUE(fs::is_directory(file_));
  EXPECT_EQ(FolderEntries(), (Names{"settings.txt"}));
}

TEST_F(WholeFile, AFailedWriteLeavesTheOldFileWhole) {
  ASSERT_TRUE(ReplaceFile(file_, "original"));

  // A file size limit makes the write of the temporary file fail, even for
  // root, which no permission bit would stop.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit {};
    limit.rlim_cur = limit.rlim_max = 64;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::_exit(ReplaceFile(file_, std::string(4096, 'y')) ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the write reported success";
  EXPECT_EQ(ReadFile(file_), "original");
  EXPECT_EQ(FolderEntries(), (Names{"settings.txt"}));
}

TEST(FilesDescriptor, ClosesOnceWhicheverWayItGoes) {
  int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  { Descriptor scoped(fd); }
  EXPECT_EQ(::fcntl(fd, F_GETFD), -1);

  Descriptor early(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  ASSERT_TRUE(early.valid());
  EXPECT_TRUE(early.Close());
  EXPECT_FALSE(early.valid());
  EXPECT_FALSE(early.Close());
  EXPECT_FALSE(Descriptor(-1).Close());
}

TEST(FilesText, TrimsBlanksAndStripsOneByteOrderMark) {
  EXPECT_EQ(Trimmed(" \tkey = value\t "), "key = value");
  EXPECT_EQ(Trimmed(" \t "), "");
  EXPECT_EQ(Trimmed("\r\n"), "\r\n");  // line ends are not blanks

  std::string_view text = "\xEF\xBB\xBF\xEF\xBB\xBF[A]";
  EXPECT_TRUE(StripByteOrderMark(text));
  EXPECT_EQ(text, "\xEF\xBB\xBF[A]");
  std::string_view half = "\xEF\xBB[A]";
  EXPECT_FALSE(StripByteOrderMark(half));
  EXPECT_EQ(half, "\xEF\xBB[A]");
}

}  // namespace
}  // namespace velkor::files
