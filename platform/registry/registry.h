#pragma once
// The registry stand-in: two hives kept as text files in the format that the
// platform's registry editor exports ("Windows Registry Editor Version 5.00").
//
//   HKEY_CURRENT_USER  = $VELKOR_REGISTRY, else $XDG_CONFIG_HOME/velkor/user.reg
//                        (default ~/.config/velkor/user.reg)
//   HKEY_LOCAL_MACHINE = $VELKOR_REGISTRY_MACHINE, else /etc/velkor/machine.reg
//
// Key paths are written with backslashes and compared without regard to case,
// as on the platform ("SOFTWARE\\Trevano\\VNXEngine\\Ports"). Every write reads
// the file afresh under an exclusive lock, changes it and replaces it atomically
// (temporary file, then rename), so concurrent writers never lose each other's
// keys and a reader never sees half a file. Nothing here throws.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace velkor::registry {

enum class Hive { CurrentUser, LocalMachine };

// The value types the engine uses: REG_DWORD and REG_SZ. Other types found in
// a file (hex:..., hex(2):...) are kept as their raw text so that a rewrite
// preserves them, but are not handed out as numbers or strings.
struct RawValue {
  std::string text;  // everything after '=' as it stands in the file
  bool operator==(const RawValue&) const = default;
};
using Value = std::variant<std::uint32_t, std::string, RawValue>;

// The file behind a hive, after the environment has been consulted.
std::filesystem::path HivePath(Hive hive);

// One hive as read from its file. Keys keep the spelling of their first
// appearance; look-ups ignore case. The empty value name is the key's default
// value ("@" in the file).
class HiveContents {
 public:
  static HiveContents Parse(std::string_view text, std::string_view rootName);
  std::string Format(std::string_view rootName) const;

  bool HasKey(std::string_view keyPath) const;
  std::optional<Value> Get(std::string_view keyPath, std::string_view valueName) const;
  std::vector<std::string> ValueNames(std::string_view keyPath) const;
  std::vector<std::string> SubKeyNames(std::string_view keyPath) const;

  // A key path holding a line break, or raw text with a line break that is
  // not a continuation (a backslash ends the line before it), is refused and
  // nothing is set: written out, either would make lines of their own. Line
  // breaks in strings and value names are written as \n and \r.
  void CreateKey(std::string_view keyPath);  // parents are created too
  void Set(std::string_view keyPath, std::string_view valueName, Value value);
  bool DeleteValue(std::string_view keyPath, std::string_view valueName);
  bool DeleteKeyTree(std::string_view keyPath);  // the key and all below it

 private:
  struct Key {
    std::string name;  // full path as first written
    std::vector<std::pair<std::string, Value>> values;  // file order
  };
  std::vector<Key> keys_;  // file order
  Key* Find(std::string_view keyPath);
  const Key* Find(std::string_view keyPath) const;
  // The key, created with its missing parents next to its nearest relatives
  // and spelled like them, when it is not there yet.
  Key& Obtain(std::string_view normalizedPath);
};

// The first line of an export, and whether a text is one: empty (a new
// hive), or beginning with that line (or the older "REGEDIT4").
inline constexpr std::string_view kHiveHeader = "Windows Registry Editor Version 5.00";
bool IsHiveText(std::string_view utf8);

// Reads of one hive. A missing or unreadable file reads as an empty hive; a
// malformed line is skipped and the rest is read. UTF-16 files with their
// byte-order mark are read as the registry editor writes them.
HiveContents ReadHive(Hive hive);
// Why the hive's file may not be written, naming it: it cannot be read, or it
// is not a registry export. Nothing when it may.
std::optional<std::string> HiveProblem(Hive hive);
bool KeyExists(Hive hive, std::string_view keyPath);
std::optional<std::uint32_t> ReadDword(Hive hive, std::string_view keyPath, std::string_view valueName);
std::optional<std::string> ReadString(Hive hive, std::string_view keyPath, std::string_view valueName);

// Writes of one hive: each is one locked read-modify-replace of the file, in
// the encoding the file has. They return false (and leave the file as it
// was) when the file cannot be written, or cannot be read, or is not a
// registry export (HiveProblem tells which).
bool WriteDword(Hive hive, std::string_view keyPath, std::string_view valueName, std::uint32_t value);
bool WriteString(Hive hive, std::string_view keyPath, std::string_view valueName, std::string_view value);
bool DeleteValue(Hive hive, std::string_view keyPath, std::string_view valueName);
bool DeleteKeyTree(Hive hive, std::string_view keyPath);

// Several changes in one locked replace: `change` edits the contents and
// returns true to have them written, false to leave the file untouched.
template <class Change>
bool Edit(Hive hive, Change&& change);

// Implementation detail of Edit, kept out of the template.
bool EditWith(Hive hive, bool (*change)(HiveContents&, void*), void* context);

template <class Change>
bool Edit(Hive hive, Change&& change) {
  return EditWith(
      hive,
      [](HiveContents& contents, void* context) { return (*static_cast<std::remove_reference_t<Change>*>(context))(contents); },
      &change);
}

// Class registration (HKEY_CLASSES_ROOT) is written per user under this key
// and read from there first, then from the machine hive.
inline constexpr std::string_view kClassesRoot = "Software\\Classes";

// The key under which serial port names COMn map to device paths.
inline constexpr std::string_view kPortsKey = "SOFTWARE\\Trevano\\VNXEngine\\Ports";

// The key of the engine's link settings (time-outs, log, network addresses).
inline constexpr std::string_view kCommSettingsKey = "SOFTWARE\\Trevano\\VNXEngine\\IVNXComm";

}  // namespace velkor::registry
