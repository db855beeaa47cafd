#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "platform/files/text.h"
#include "platform/registry/registry.h"
#include "tests/support/test_environment.h"

namespace velkor::registry {
namespace {

namespace fs = std::filesystem;
using ::velkor::testing::ReadFile;
using ::velkor::testing::ScopedEnvironment;

// Each test gets hive files of its own and leaves the environment as it was.
class HiveFiles : public ::testing::Test {
 protected:
  ::velkor::testing::TemporaryFolder folder_;
  const fs::path user_ = folder_ / "config" / "user.reg";  // its folder does not exist yet
  const fs::path machine_ = folder_ / "machine.reg";
  ScopedEnvironment userHive_{"VELKOR_REGISTRY", user_.string()};
  ScopedEnvironment machineHive_{"VELKOR_REGISTRY_MACHINE", machine_.string()};
  ScopedEnvironment config_{"XDG_CONFIG_HOME", "/xdg/config"};
  ScopedEnvironment home_{"HOME", "/home/someone"};
};

TEST_F(HiveFiles, EnvironmentChoosesTheFiles) {
  EXPECT_EQ(HivePath(Hive::CurrentUser), user_);
  EXPECT_EQ(HivePath(Hive::LocalMachine), machine_);

  ::unsetenv("VELKOR_REGISTRY");
  ::unsetenv("VELKOR_REGISTRY_MACHINE");
  EXPECT_EQ(HivePath(Hive::CurrentUser), fs::path("/xdg/config/velkor/user.reg"));
  EXPECT_EQ(HivePath(Hive::LocalMachine), fs::path("/etc/velkor/machine.reg"));

  ::setenv("XDG_CONFIG_HOME", "relative/config", 1);
  EXPECT_EQ(HivePath(Hive::CurrentUser), fs::path("/home/someone/.config/velkor/user.reg"));
  ::setenv("XDG_CONFIG_HOME", "", 1);
  ::setenv("VELKOR_REGISTRY", "", 1);
  EXPECT_EQ(HivePath(Hive::CurrentUser), fs::path("/home/someone/.config/velkor/user.reg"));
}

TEST_F(HiveFiles, WritesGoToTheirOwnHiveAndReadBack) {
  constexpr std::string_view kComm = "SOFTWARE\\Trevano\\VNXEngine\\IVNXComm";
  EXPECT_FALSE(KeyExists(Hive::CurrentUser, "SOFTWARE"));  // no file yet: an empty hive
  ASSERT_TRUE(WriteDword(Hive::CurrentUser, kComm, "TxMaxRetry", 3));
  ASSERT_TRUE(WriteString(Hive::LocalMachine, kComm, "LogFileName", "m.log"));
  EXPECT_EQ(ReadDword(Hive::CurrentUser, "software\\trevano\\vnxengine\\ivnxcomm", "txmaxretry"), 3u);
  EXPECT_EQ(ReadDword(Hive::LocalMachine, kComm, "TxMaxRetry"), std::nullopt);
  EXPECT_EQ(ReadString(Hive::LocalMachine, kComm, "LogFileName"), "m.log");
  // A value of the other type is not handed out as this one.
  EXPECT_EQ(ReadString(Hive::CurrentUser, kComm, "TxMaxRetry"), std::nullopt);
  EXPECT_NE(ReadFile(machine_).find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Trevano\\VNXEngine\\IVNXComm]\n"),
            std::string::npos);
  EXPECT_NE(ReadFile(user_).find("[HKEY_CURRENT_USER\\SOFTWARE\\Trevano\\VNXEngine\\IVNXComm]\n"), std::string::npos);
}

TEST_F(HiveFiles, AWriteKeepsWhatItDoesNotTouch) {
  fs::create_directories(user_.parent_path());
  ::velkor::testing::WriteFile(user_, "Windows Registry Editor Version 5.00\n\n"
                          "[HKEY_CURRENT_USER\\Keep\\First]\n\"Blob\"=hex:01,02,\\\n  03\n\"B\"=\"b\"\n\n"
                          "[HKEY_CURRENT_USER\\Target]\n\"Old\"=dword:00000001\n\n"
                          "[HKEY_CURRENT_USER\\Keep\\Last]\n@=\"z\"\n\n");
  ASSERT_TRUE(WriteDword(Hive::CurrentUser, "Target", "Old", 2));
  ASSERT_TRUE(DeleteValue(Hive::CurrentUser, "Keep\\Last", ""));
  EXPECT_FALSE(DeleteValue(Hive::CurrentUser, "Keep\\Last", ""));  // nothing left to delete
  EXPECT_EQ(ReadFile(user_),
            "Windows Registry Editor Version 5.00\n\n"
            "[HKEY_CURRENT_USER\\Keep\\First]\n\"Blob\"=hex:01,02,\\\n  03\n\"B\"=\"b\"\n\n"
            "[HKEY_CURRENT_USER\\Target]\n\"Old\"=dword:00000002\n\n"
            "[HKEY_CURRENT_USER\\Keep\\Last]\n\n");
  ASSERT_TRUE(DeleteKeyTree(Hive::CurrentUser, "KEEP"));
  EXPECT_EQ(ReadFile(user_), "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Target]\n\"Old\"=dword:00000002\n\n");
  std::vector<std::string> entries;  // no temporary file left behind
  for (const auto& entry : fs::directory_iterator(user_.parent_path())) entries.push_back(entry.path().filename());
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (std::vector<std::string>{"user.reg", "user.reg.lock"}));
}

TEST_F(HiveFiles, AnEditThatDeclinesLeavesTheFileAlone) {
  ASSERT_TRUE(WriteDword(Hive::CurrentUser, "A", "x", 1));
  const std::string text = ReadFile(user_);
  EXPECT_FALSE(Edit(Hive::CurrentUser, [](HiveContents& contents) {
    contents.Set("A", "x", std::uint32_t{99});
    return false;
  }));
  EXPECT_EQ(ReadFile(user_), text);
}

TEST_F(HiveFiles, AHiveThatCannotBeReadIsNotOverwritten) {
  fs::create_directories(user_);  // a folder where the file should be
  EXPECT_FALSE(WriteDword(Hive::CurrentUser, "A", "x", 1));
  EXPECT_TRUE(fs::is_directory(user_));
  EXPECT_FALSE(KeyExists(Hive::CurrentUser, "A"));

  ::setenv("VELKOR_REGISTRY", (folder_ / "plain-file" / "user.reg").c_str(), 1);
  ::velkor::testing::WriteFile(folder_ / "plain-file", "not a folder");
  EXPECT_FALSE(WriteDword(Hive::CurrentUser, "A", "x", 1));
}

// What is not a registry export is somebody else's file: it is read as an
// empty hive, never written over, and the refusal names it.
TEST_F(HiveFiles, AFileOfAnotherKindIsKeptAndNamed) {
  fs::create_directories(user_.parent_path());
  const std::string kinds[] = {"some notes of mine\n", std::string("\x00\x13\xF7\x80garbage", 11),
                               "[HKEY_CURRENT_USER\\A]\n\"x\"=dword:00000001\n"};
  for (const std::string& other : kinds) {
    ::velkor::testing::WriteFile(user_, other);
    EXPECT_FALSE(WriteDword(Hive::CurrentUser, "A", "x", 2));
    EXPECT_EQ(ReadFile(user_), other);
    const auto problem = HiveProblem(Hive::CurrentUser);
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find(user_.string() + " is not a registry file"), std::string::npos) << *problem;
  }
  ::velkor::testing::WriteFile(user_, "; my settings\nWindows Registry Editor Version 5.00\n");
  EXPECT_TRUE(WriteDword(Hive::CurrentUser, "A", "x", 2)) << "a comment above the header is no other kind";
  fs::remove(user_);
  EXPECT_FALSE(HiveProblem(Hive::CurrentUser)) << "a hive yet to be made may be";
}

// The platform's registry editor exports UTF-16 with a byte-order mark: such
// a file is read, and written back in UTF-16.
TEST_F(HiveFiles, AUtf16ExportIsReadAndKeepsItsEncoding) {
  fs::create_directories(user_.parent_path());
  const std::string text =
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"n\"=\"Grüße\"\r\n";
  ::velkor::testing::WriteFile(user_, files::EncodeText(text, files::TextEncoding::Utf16LittleEndian));
  EXPECT_EQ(ReadString(Hive::CurrentUser, "A", "n"), "Grüße");
  ASSERT_TRUE(WriteDword(Hive::CurrentUser, "A", "x", 5));
  const std::string written = ReadFile(user_);
  EXPECT_TRUE(written.starts_with("\xFF\xFE")) << "still UTF-16";
  const std::string decoded = files::DecodeText(written);
  EXPECT_NE(decoded.find("\"n\"=\"Grüße\""), std::string::npos) << decoded;
  EXPECT_NE(decoded.find("\"x\"=dword:00000005"), std::string::npos) << decoded;
  EXPECT_EQ(ReadString(Hive::CurrentUser, "A", "n"), "Grüße");
}

TEST_F(HiveFiles, ALinkedHiveIsWrittenThroughTheLink) {
  fs::create_directories(user_.parent_path());
  const fs::path target = folder_ / "real.reg";
  fs::create_symlink(target, user_);
  ASSERT_TRUE(WriteDword(Hive::CurrentUser, "A", "x", 7));
  EXPECT_TRUE(fs::is_symlink(user_));
  EXPECT_EQ(ReadDword(Hive::CurrentUser, "A", "x"), 7u);
  EXPECT_NE(ReadFile(target).find("\"x\"=dword:00000007"), std::string::npos);
}

// Four processes and four threads write at once: the lock orders both.
TEST_F(HiveFiles, ConcurrentWritersLoseNoKey) {
  constexpr int kEach = 4, kKeys = 15;
  auto key = [](int writer, int i) { return "Writers\\W" + std::to_string(writer) + "\\K" + std::to_string(i); };
  auto addKeys = [&](int writer) {
    for (int i = 0; i < kKeys; ++i) WriteDword(Hive::CurrentUser, key(writer, i), "n", writer * 1000 + i);
  };
  std::vector<pid_t> children;  // forked before any thread starts
  for (int writer = 0; writer < kEach; ++writer) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      addKeys(writer);
      ::_exit(0);
    }
    children.push_back(child);
  }
  std::vector<std::thread> threads;
  for (int writer = kEach; writer < 2 * kEach; ++writer) threads.emplace_back(addKeys, writer);
  for (auto& thread : threads) thread.join();
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const HiveContents hive = ReadHive(Hive::CurrentUser);
  for (int writer = 0; writer < 2 * kEach; ++writer)
    for (int i = 0; i < kKeys; ++i)
      EXPECT_EQ(hive.Get(key(writer, i), "n"), Value{static_cast<std::uint32_t>(writer * 1000 + i)}) << key(writer, i);
}

}  // namespace
}  // namespace velkor::registry
