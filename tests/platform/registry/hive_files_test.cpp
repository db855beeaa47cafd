#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "platform/registry/registry.h"

namespace velkor::registry {
namespace {

namespace fs = std::filesystem;

std::string Contents(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// Each test gets hive files of its own and leaves the environment as it was.
class HiveFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : kVariables) {
      const char* value = std::getenv(name);
      saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    std::string pattern = (fs::temp_directory_path() / "velkor-registry-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    user_ = folder_ / "config" / "user.reg";  // its folder does not exist yet
    machine_ = folder_ / "machine.reg";
    ::setenv("VELKOR_REGISTRY", user_.c_str(), 1);
    ::setenv("VELKOR_REGISTRY_MACHINE", machine_.c_str(), 1);
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      if (value) ::setenv(name, value->c_str(), 1);
      else ::unsetenv(name);
    }
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  std::vector<std::string> FolderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  static constexpr const char* kVariables[] = {"VELKOR_REGISTRY", "VELKOR_REGISTRY_MACHINE", "XDG_CONFIG_HOME",
                                               "HOME"};
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
  fs::path folder_, user_, machine_;
};

TEST_F(HiveFiles, EnvironmentChoosesTheFiles) {
  EXPECT_EQ(HivePath(Hive::CurrentUser), user_);
  EXPECT_EQ(HivePath(Hive::LocalMachine), machine_);

  ::unsetenv("VELKOR_REGISTRY");
  ::unsetenv("VELKOR_REGISTRY_MACHINE");
  ::setenv("XDG_CONFIG_HOME", "/xdg/config", 1);
  ::setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(HivePath(Hive::CurrentUser), fs::path("/xdg/config/velkor/user.reg"));
  EXPECT_EQ(HivePath(Hive::LocalMachine), fs::path("/etc/velkor/machine.reg"));

  ::setenv("XDG_CONFIG_HOME", "relative/config", 1);
  EXPECT_EQ(HivePath(Hive::CurrentUser), fs::path("/home/someone/.config/velkor/user.reg"));
  ::setenv("XDG_CONFIG_HOME", "", 1);
  ::setenv("VELKOR_REGISTRY", "", 1);
  EXPECT_EQ(HivePath(Hive::CurrentUser), fs::path("/home/someone/.config/velkor/user.reg"));
}

TEST_F(HiveFiles, WritesGoToTheirOwnHiveAndReadBack) {
  EXPECT_FALSE(KeyExists(Hive::CurrentUser, "SOFTWARE"));  // no file yet: an empty hive
  ASSERT_TRUE(WriteDword(Hive::CurrentUser, "SOFTWARE\\Trevano\\VNXEngine\\IVNXComm", "TxMaxRetry", 3));
  ASSERT_TRUE(WriteString(Hive::LocalMachine, "SOFTWARE\\Trevano\\VNXEngine\\IVNXComm", "LogFileName", "m.log"));

  EXPECT_EQ(ReadDword(Hive::CurrentUser, "software\\trevano\\vnxengine\\ivnxcomm", "txmaxretry"), 3u);
  EXPECT_EQ(ReadDword(Hive::LocalMachine, "SOFTWARE\\Trevano\\VNXEngine\\IVNXComm", "TxMaxRetry"), std::nullopt);
  EXPECT_EQ(ReadString(Hive::LocalMachine, "SOFTWARE\\Trevano\\VNXEngine\\IVNXComm", "LogFileName"), "m.log");
  // A value of the other type is not handed out as this one.
  EXPECT_EQ(ReadString(Hive::CurrentUser, "SOFTWARE\\Trevano\\VNXEngine\\IVNXComm", "TxMaxRetry"), std::nullopt);
  EXPECT_NE(Contents(machine_).find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Trevano\\VNXEngine\\IVNXComm]\n"),
            std::string::npos);
  EXPECT_NE(Contents(user_).find("[HKEY_CURRENT_USER\\SOFTWARE\\Trevano\\VNXEngine\\IVNXComm]\n"),
            std::string::npos);
}

TEST_F(HiveFiles, AWriteKeepsWhatItDoesNotTouch) {
  fs::create_directories(user_.parent_path());
  std::ofstream(user_) << "Windows Registry Editor Version 5.00\n\n"
                          "[HKEY_CURRENT_USER\\Keep\\First]\n\"Blob\"=hex:01,02,\\\n  03\n\"B\"=\"b\"\n\n"
                          "[HKEY_CURRENT_USER\\Target]\n\"Old\"=dword:00000001\n\n"
                          "[HKEY_CURRENT_USER\\Keep\\Last]\n@=\"z\"\n\n";
  ASSERT_TRUE(WriteDword(Hive::CurrentUser, "Target", "Old", 2));
  ASSERT_TRUE(DeleteValue(Hive::CurrentUser, "Keep\\Last", ""));
  EXPECT_FALSE(DeleteValue(Hive::CurrentUser, "Keep\\Last", ""));  // nothing left to delete
  EXPECT_EQ(Contents(user_),
            "Windows Registry Editor Version 5.00\n\n"
            "[HKEY_CURRENT_USER\\Keep\\First]\n\"Blob\"=hex:01,02,\\\n  03\n\"B\"=\"b\"\n\n"
            "[HKEY_CURRENT_USER\\Target]\n\"Old\"=dword:00000002\n\n"
            "[HKEY_CURRENT_USER\\Keep\\Last]\n\n");
  ASSERT_TRUE(DeleteKeyTree(Hive::CurrentUser, "KEEP"));
  EXPECT_EQ(Contents(user_), "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Target]\n\"Old\"=dword:00000002\n\n");
  EXPECT_EQ(FolderEntries(user_.parent_path()), (std::vector<std::string>{"user.reg", "user.reg.lock"}));
}

TEST_F(HiveFiles, AnEditThatDeclinesLeavesTheFileAlone) {
  ASSERT_TRUE(WriteDword(Hive::CurrentUser, "A", "x", 1));
  const auto before = fs::last_write_time(user_);
  const std::string text = Contents(user_);
  EXPECT_FALSE(Edit(Hive::CurrentUser, [](HiveContents& contents) {
    contents.Set("A", "x", std::uint32_t{99});
    return false;
  }));
  EXPECT_EQ(Contents(user_), text);
  EXPECT_EQ(fs::last_write_time(user_), before);
}

TEST_F(HiveFiles, AHiveThatCannotBeReadIsNotOverwritten) {
  fs::create_directories(user_);  // a folder where the file should be
  EXPECT_FALSE(WriteDword(Hive::CurrentUser, "A", "x", 1));
  EXPECT_TRUE(fs::is_directory(user_));
  EXPECT_FALSE(KeyExists(Hive::CurrentUser, "A"));

  ::setenv("VELKOR_REGISTRY", (folder_ / "plain-file" / "user.reg").c_str(), 1);
  std::ofstream(folder_ / "plain-file") << "not a folder";
  EXPECT_FALSE(WriteDword(Hive::CurrentUser, "A", "x", 1));
}

TEST_F(HiveFiles, ALinkedHiveIsWrittenThroughTheLink) {
  fs::create_directories(user_.parent_path());
  const fs::path target = folder_ / "real.reg";
  fs::create_symlink(target, user_);
  ASSERT_TRUE(WriteDword(Hive::CurrentUser, "A", "x", 7));
  EXPECT_TRUE(fs::is_symlink(user_));
  EXPECT_EQ(ReadDword(Hive::CurrentUser, "A", "x"), 7u);
  EXPECT_NE(Contents(target).find("\"x\"=dword:00000007"), std::string::npos);
}

constexpr int kWriters = 4;
constexpr int kKeysEach = 15;

void AddKeys(int writer) {
  for (int i = 0; i < kKeysEach; ++i) {
    const std::string key = "Writers\\W" + std::to_string(writer) + "\\K" + std::to_string(i);
    WriteDword(Hive::CurrentUser, key, "n", static_cast<std::uint32_t>(writer * 1000 + i));
  }
}

void ExpectEveryKey() {
  const HiveContents hive = ReadHive(Hive::CurrentUser);
  for (int writer = 0; writer < kWriters; ++writer) {
    for (int i = 0; i < kKeysEach; ++i) {
      const std::string key = "Writers\\W" + std::to_string(writer) + "\\K" + std::to_string(i);
      EXPECT_EQ(hive.Get(key, "n"), Value{static_cast<std::uint32_t>(writer * 1000 + i)}) << key;
    }
  }
}

TEST_F(HiveFiles, ConcurrentThreadsLoseNoKey) {
  std::vector<std::thread> writers;
  for (int writer = 0; writer < kWriters; ++writer) writers.emplace_back(AddKeys, writer);
  for (auto& writer : writers) writer.join();
  ExpectEveryKey();
}

TEST_F(HiveFiles, ConcurrentProcessesLoseNoKey) {
  std::vector<pid_t> children;
  for (int writer = 0; writer < kWriters; ++writer) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      AddKeys(writer);
      ::_exit(0);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  ExpectEveryKey();
}

}  // namespace
}  // namespace velkor::registry
