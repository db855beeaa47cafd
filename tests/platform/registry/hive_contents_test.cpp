#include <gtest/gtest.h>

#include "platform/registry/registry.h"

namespace velkor::registry {
namespace {

constexpr std::string_view kRoot = "HKEY_CURRENT_USER";

using Names = std::vector<std::string>;

TEST(HiveText, EveryValueKindSurvivesAWriteAndARead) {
  const std::string comm = "SOFTWARE\\Trevano\\VNXEngine\\IVNXComm";
  const std::pair<const char*, Value> values[] = {
      {"TxMaxRetry", std::uint32_t{10}},
      {"Big", std::uint32_t{0xFFFFFFFF}},
      {"LogFileName", std::string("C:\\logs\\\"engine\".txt")},
      {"Lines", std::string("one\ntwo\r\nthree")},
      {"", std::string("default")},
      {"@", std::string("a name, not the default")},
      {"Empty", std::string()},
      {"Expand", RawValue{"hex(2):25,00,54,00,00,00"}},
      {"Long", RawValue{"hex:00,01,02,\\\n  03,04"}},
  };
  HiveContents hive;
  for (const auto& [name, value] : values) hive.Set(comm, name, value);

  const std::string text = hive.Format(kRoot);
  EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\SOFTWARE]\n", 0), 0u) << text;
  EXPECT_NE(text.find("\"TxMaxRetry\"=dword:0000000a\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\"LogFileName\"=\"C:\\\\logs\\\\\\\"engine\\\".txt\"\n"), std::string::npos) << text;
  EXPECT_NE(text.find("@=\"default\"\n"), std::string::npos) << text;

  const HiveContents back = HiveContents::Parse(text, kRoot);
  EXPECT_EQ(back.Format(kRoot), text);
  Names names;
  for (const auto& [name, value] : values) {
    EXPECT_EQ(back.Get(comm, name), value) << name;
    names.push_back(name);
  }
  EXPECT_EQ(back.ValueNames(comm), names);
}

TEST(HiveText, AnEditorExportIsReadAsItStands) {
  const std::string exported =
      "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Trevano]\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Trevano\\VNXEngine\\Ports]\r\n"
      "\"COM3\"=\"/dev/pts/7\"\r\n\"Mask\"=dword:000000FF\r\n"
      "\"Multi\"=hex(7):41,00,00,00,\\\r\n  00,00\r\n\r\n";
  const HiveContents hive = HiveContents::Parse(exported, kRoot);
  const std::string ports = "Software\\Trevano\\VNXEngine\\Ports";
  EXPECT_EQ(hive.Get(ports, "COM3"), Value{std::string("/dev/pts/7")});
  EXPECT_EQ(hive.Get(ports, "Mask"), Value{std::uint32_t{255}});
  EXPECT_EQ(hive.Get(ports, "Multi"), Value{RawValue{"hex(7):41,00,00,00,\\\n  00,00"}});
  EXPECT_EQ(hive.ValueNames(ports), (Names{"COM3", "Mask", "Multi"}));
}

TEST(HiveText, DamagedLinesAreSkippedAndRepeatedKeysMerge) {
  const std::string text =
      "Windows Registry Editor Version 5.00\n"
      "\"Orphan\"=dword:00000001\n"  // before any section
      "[HKEY_CURRENT_USER\\A]\n"
      "\"Good\"=dword:00000001\n"
      "\"NoEnd=\"text\n"
      "\"Digits\"=dword:123456789\n"
      "\"NotHex\"=dword:0000000g\n"
      "\"Open\"=\"never closed\n"
      "\"Trailing\"=\"x\" junk\n"
      "\"Bare\"=plain words\n"
      "\"Removed\"=-\n"
      "just some words\n"
      "; a comment\n"
      "   \"Indented\"  =  dword:2\n"
      "[HKEY_CURRENT_USER\\B\n"  // no closing bracket: its values are not A's
      "\"Lost\"=dword:00000003\n"
      "[HKEY_LOCAL_MACHINE\\Other]\n"
      "\"Foreign\"=dword:00000004\n"
      "[-HKEY_CURRENT_USER\\Deleted]\n"
      "\"Gone\"=dword:00000005\n"
      "[HKEY_CURRENT_USER\\C]\n"
      "\"Cut\"=hex:01,02,\\\n"
      "[HKEY_CURRENT_USER\\D]\n"
      "\"Last\"=\"fine\"\n"
      "[HKEY_CURRENT_USER\\a]\n"  // the same key again: merged, the later value wins
      "\"good\"=dword:00000009\n";
  const HiveContents hive = HiveContents::Parse(text, kRoot);
  EXPECT_EQ(hive.ValueNames("A"), (Names{"Good", "Indented"}));
  EXPECT_EQ(hive.Get("A", "Indented"), Value{std::uint32_t{2}});
  EXPECT_EQ(hive.Get("A", "Good"), Value{std::uint32_t{9}});
  EXPECT_EQ(hive.SubKeyNames(""), (Names{"A", "C", "D"}));
  EXPECT_EQ(hive.Get("C", "Cut"), Value{RawValue{"hex:01,02,\\"}});
  EXPECT_EQ(hive.Get("D", "Last"), Value{std::string("fine")});
  EXPECT_FALSE(hive.HasKey("Other"));
  EXPECT_FALSE(hive.HasKey("Deleted"));
}

TEST(HiveKeys, LookUpsIgnoreCaseAndKeepTheFirstSpelling) {
  HiveContents hive;
  hive.Set("Software\\Trevano\\VNXEngine", "Mode", std::uint32_t{1});
  hive.Set("SOFTWARE\\TREVANO\\VNXENGINE", "MODE", std::uint32_t{2});
  hive.Set("software\\trevano\\Other", "x", std::string("y"));

  EXPECT_EQ(hive.Get("sOfTwArE\\trevano\\vnxengine", "mode"), Value{std::uint32_t{2}});
  EXPECT_EQ(hive.ValueNames("Software\\Trevano\\VNXEngine"), (Names{"Mode"}));
  EXPECT_EQ(hive.SubKeyNames("SOFTWARE\\TREVANO"), (Names{"VNXEngine", "Other"}));
  const std::string text = hive.Format(kRoot);
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Trevano\\Other]"), std::string::npos) << text;
  EXPECT_EQ(text.find("TREVANO"), std::string::npos) << text;
  EXPECT_TRUE(hive.HasKey("\\software\\\\TREVANO\\"));  // stray separators do not matter
}

TEST(HiveKeys, NewKeysJoinTheirFamilyAndGetTheirParents) {
  HiveContents hive = HiveContents::Parse(
      "[HKEY_CURRENT_USER\\Software\\A]\n"
      "[HKEY_CURRENT_USER\\Software\\A\\One]\n"
      "[HKEY_CURRENT_USER\\Zeta]\n",
      kRoot);
  // Parents exist without sections of their own; a prefix of a name is no parent.
  EXPECT_TRUE(hive.HasKey("software"));
  EXPECT_FALSE(hive.HasKey("Software\\A\\On"));
  EXPECT_TRUE(hive.ValueNames("Software").empty());
  EXPECT_EQ(hive.SubKeyNames(""), (Names{"Software", "Zeta"}));
  EXPECT_EQ(hive.SubKeyNames("software\\a"), (Names{"One"}));
  EXPECT_TRUE(hive.SubKeyNames("Software\\A\\One").empty());

  hive.CreateKey("SOFTWARE\\A\\Two\\Deep");
  hive.CreateKey("New\\Child");
  EXPECT_EQ(hive.Format(kRoot),
            "Windows Registry Editor Version 5.00\n\n"
            "[HKEY_CURRENT_USER\\Software\\A]\n\n"
            "[HKEY_CURRENT_USER\\Software\\A\\One]\n\n"
            "[HKEY_CURRENT_USER\\Software\\A\\Two]\n\n"
            "[HKEY_CURRENT_USER\\Software\\A\\Two\\Deep]\n\n"
            "[HKEY_CURRENT_USER\\Zeta]\n\n"
            "[HKEY_CURRENT_USER\\New]\n\n"
            "[HKEY_CURRENT_USER\\New\\Child]\n\n");
}

TEST(HiveKeys, DeletingATreeTakesEverythingBelowAndNothingElse) {
  HiveContents hive;
  hive.Set("Software\\Classes\\VNX.Host", "", std::string("host"));
  hive.Set("Software\\Classes\\VNX.Host\\CLSID", "", std::string("{1}"));
  hive.Set("Software\\Classes\\VNX.Host.1\\CLSID", "", std::string("{1}"));  // a name that only starts alike
  hive.Set("Software\\Classes\\VNX.Scan", "", std::string("scan"));

  EXPECT_TRUE(hive.DeleteKeyTree("software\\classes\\vnx.host"));
  EXPECT_EQ(hive.SubKeyNames("Software\\Classes"), (Names{"VNX.Host.1", "VNX.Scan"}));
  EXPECT_FALSE(hive.DeleteKeyTree("Software\\Classes\\VNX.Host"));
  EXPECT_FALSE(hive.DeleteKeyTree(""));  // the root stays

  EXPECT_TRUE(hive.DeleteValue("Software\\Classes\\VNX.Scan", ""));
  EXPECT_FALSE(hive.DeleteValue("Software\\Classes\\VNX.Scan", ""));
  EXPECT_TRUE(hive.HasKey("Software\\Classes\\VNX.Scan"));  // the key outlives its values
}

TEST(HiveKeys, CallerTextCannotForgeLinesOfItsOwn) {
  HiveContents hive;
  hive.Set("A\n[HKEY_CURRENT_USER\\Forged]", "x", std::uint32_t{1});
  hive.Set("A", "y", RawValue{"hex:00\n\"Forged\"=dword:00000001"});
  hive.Set("A", "name\"\n\"Forged", std::string("value\n\"Forged\"=dword:1"));
  const HiveContents back = HiveContents::Parse(hive.Format(kRoot), kRoot);
  EXPECT_FALSE(back.HasKey("Forged"));
  EXPECT_EQ(back.ValueNames("A"), (Names{"name\"\n\"Forged"}));
  EXPECT_EQ(back.Get("A", "name\"\n\"Forged"), Value{std::string("value\n\"Forged\"=dword:1")});
}

}  // namespace
}  // namespace velkor::registry
