#pragma once
// Profile strings: the platform's GetPrivateProfileString and
// WritePrivateProfileString on INI text files.
//
// Sections and keys compare without regard to (ASCII) case and with their
// surrounding blanks removed. A value is the text after the first '=' without
// surrounding blanks, and without one pair of enclosing double quotes. Only
// the first section of a name, and its first key of a name, count. Lines
// starting with ';' are comments.
//
// A write changes the one line it concerns and keeps every other line (order,
// comments, blank lines, line ends) as it was; the file is replaced whole by
// rename, so a reader never sees half of it. Nothing here throws.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::profile {

// The value, or `defaultValue` when the file, section or key is missing.
std::string GetProfileString(std::string_view section, std::string_view key, std::string_view defaultValue,
                             const std::filesystem::path& path);

// Section names and the keys of one section, in file order, each once.
std::vector<std::string> GetProfileSections(const std::filesystem::path& path);
std::vector<std::string> GetProfileKeys(std::string_view section, const std::filesystem::path& path);

// Sets the key (nullopt deletes it). A missing file is created, a missing
// section appended to it, a missing key appended to its section. Returns false
// when the file cannot be written, and for names or values that could not be
// read back as given (line breaks, '=' in a key, ']' in a section name, empty
// names). Deleting what is not there succeeds and writes nothing.
bool WriteProfileString(std::string_view section, std::string_view key, std::optional<std::string_view> value,
                        const std::filesystem::path& path);

// Sets every entry, in order, in one replacement of the file: all of them
// land or none does (the file stays as it was). False as above, and for any
// entry that could not be read back.
struct ProfileEntry {
  std::string section, key, value;
};
bool WriteProfileStrings(const std::vector<ProfileEntry>& entries, const std::filesystem::path& path);

// Removes the section with all its lines (every section of that name).
bool DeleteProfileSection(std::string_view section, const std::filesystem::path& path);

// One INI text in memory, line by line, as the functions above use it.
class ProfileText {
 public:
  static ProfileText Parse(std::string_view text);
  std::string Text() const;

  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  std::vector<std::string> Sections() const;
  std::vector<std::string> Keys(std::string_view section) const;

  bool Set(std::string_view section, std::string_view key, std::string_view value);  // false: unusable names
  bool Erase(std::string_view section, std::string_view key);                         // false: not there
  bool EraseSection(std::string_view section);                                        // false: not there

 private:
  struct Line {
    std::string text;
    std::string ending;  // "\r\n", "\n", or empty for a last line without one
  };
  struct Span {
    std::size_t header, end;  // the header line and one past the section's last line
  };
  std::optional<Span> FindSection(std::string_view section, std::size_t from = 0) const;
  std::optional<std::size_t> FindKey(const Span& span, std::string_view key) const;
  void InsertLine(std::size_t position, std::string text);

  std::vector<Line> lines_;
  std::string newline_ = "\n";  // for new lines: the file's own line end
  bool byteOrderMark_ = false;
};

// The whole file at once, for a reader of many keys; nothing when it is
// missing, unreadable or longer than `limit` bytes.
std::optional<ProfileText> ReadProfile(const std::filesystem::path& path, std::size_t limit);

}  // namespace velkor::profile
