// The text form of a hive: what the platform's registry editor exports, read
// leniently so that one damaged line costs only that line.

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <unordered_map>

#include "platform/files/text.h"
#include "platform/registry/key_path.h"
#include "platform/registry/registry.h"

namespace velkor::registry {

namespace {

constexpr std::string_view kHeader = kHiveHeader;
constexpr std::string_view kOlderHeader = "REGEDIT4";

using files::Trimmed;

// Lines without their line ends, and without the blanks and CRs before them.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// A quoted text at the front of `text`, with the editor's escapes \\ and \"
// undone (and \n, \r, which only we write, for texts that hold line breaks).
// On success `text` is left just after the closing quote.
std::optional<std::string> TakeQuoted(std::string_view& text) {
  if (text.empty() || text.front() != '"') return std::nullopt;
  std::string result;
  for (std::size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      text.remove_prefix(i + 1);
      return result;
    }
    if (c == '\\' && i + 1 < text.size()) {
      const char next = text[i + 1];
      if (next == '\\' || next == '"') {
        result += next;
        ++i;
        continue;
      }
      if (next == 'n' || next == 'r') {
        result += next == 'n' ? '\n' : '\r';
        ++i;
        continue;
      }
    }
    result += c;
  }
  return std::nullopt;  // no closing quote
}

std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  for (char c : text) {
    switch (c) {
      case '\\': quoted += "\\\\"; break;
      case '"': quoted += "\\\""; break;
      case '\n': quoted += "\\n"; break;
      case '\r': quoted += "\\r"; break;
      default: quoted += c;
    }
  }
  quoted += '"';
  return quoted;
}

std::optional<std::uint32_t> Dword(std::string_view digits) {
  if (digits.empty() || digits.size() > 8) return std::nullopt;
  std::uint32_t number = 0;
  for (char c : digits) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return std::nullopt;
    number = number * 16 + static_cast<std::uint32_t>(digit);
  }
  return number;
}

// "hex:", "hex(2):", "hex(b):" and the like: a type tag, optionally with a
// hexadecimal type number in brackets, then a colon.
bool HasTypeTag(std::string_view data) {
  std::size_t i = 0;
  while (i < data.size() && ((data[i] >= 'a' && data[i] <= 'z') || (data[i] >= 'A' && data[i] <= 'Z'))) ++i;
  if (i == 0) return false;
  if (i < data.size() && data[i] == '(') {
    const std::size_t close = data.find(')', i);
    if (close == std::string_view::npos || close == i + 1) return false;
    for (std::size_t j = i + 1; j < close; ++j) {
      if (!std::isxdigit(static_cast<unsigned char>(data[j]))) return false;
    }
    i = close + 1;
  }
  return i < data.size() && data[i] == ':';
}

// Continuation lines hold hexadecimal bytes; anything else (a section or a
// value of its own) means the value was cut short and ends here.
bool IsContinuation(std::string_view line) {
  const std::string_view text = Trimmed(line);
  return !text.empty() && std::isxdigit(static_cast<unsigned char>(text.front()));
}

std::optional<Value> ParseData(std::string_view data) {
  if (!data.empty() && data.front() == '"') {
    std::string_view rest = data;
    auto text = TakeQuoted(rest);
    if (!text || !Trimmed(rest).empty()) return std::nullopt;
    return Value{std::move(*text)};
  }
  constexpr std::string_view kDword = "dword:";
  if (data.size() >= kDword.size() && detail::EqualsIgnoringCase(data.substr(0, kDword.size()), kDword)) {
    auto number = Dword(Trimmed(data.substr(kDword.size())));
    if (!number) return std::nullopt;
    return Value{*number};
  }
  if (HasTypeTag(data)) return Value{RawValue{std::string(data)}};
  return std::nullopt;
}

std::string FormatData(const Value& value) {
  if (const auto* number = std::get_if<std::uint32_t>(&value)) {
    char text[16];
    std::snprintf(text, sizeof text, "dword:%08x", static_cast<unsigned>(*number));
    return text;
  }
  if (const auto* text = std::get_if<std::string>(&value)) return Quoted(*text);
  return std::get<RawValue>(value).text;
}

std::string Lowered(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lowered;
}

}  // namespace

bool IsHiveText(std::string_view text) {
  files::StripByteOrderMark(text);
  for (std::string_view line : Lines(text)) {
    line = Trimmed(line);
    // Comment lines a person put above the header do not make it another file.
    if (!line.empty() && line.front() != ';') return line == kHeader || line == kOlderHeader;
  }
  return true;
}

HiveContents HiveContents::Parse(std::string_view text, std::string_view rootName) {
  HiveContents contents;
  files::StripByteOrderMark(text);
  const std::vector<std::string_view> lines = Lines(text);

  // Values outside a section, or in a section of another root, belong to no
  // key of this hive and are skipped with their section.
  // No optional here: GCC's -O2 flow analysis takes its value for unset.
  constexpr std::size_t kNoKey = static_cast<std::size_t>(-1);
  std::size_t current = kNoKey;
  // Keys and values found so far, by their names without case, so that a
  // long file reads in time proportional to its length.
  std::unordered_map<std::string, std::size_t> keyIndex;
  std::unordered_map<std::string, std::size_t> valueIndex;  // key index, NUL, value name
  keyIndex.reserve(lines.size() / 4);
  valueIndex.reserve(lines.size() / 2);
  for (std::size_t index = 0; index < lines.size(); ++index) {
    const std::string_view line = Trimmed(lines[index]);
    if (line.empty() || line.front() == ';' || line == kHeader || line == kOlderHeader) continue;

    if (line.front() == '[') {
      current = kNoKey;
      if (line.back() != ']') continue;
      const std::string_view inner = line.substr(1, line.size() - 2);
      const std::string_view root = inner.substr(0, inner.find('\\'));
      if (!detail::EqualsIgnoringCase(root, rootName)) continue;  // also "[-...]", a deletion request
      const std::string path = detail::NormalizeKeyPath(inner.substr(root.size()));
      const auto [known, added] = keyIndex.try_emplace(Lowered(path), contents.keys_.size());
      if (added) contents.keys_.push_back(Key{path, {}});
      current = known->second;
      continue;
    }
    if (current == kNoKey) continue;

    std::string_view rest = line;
    std::optional<std::string> name;
    if (rest.front() == '@') {
      name = std::string();
      rest.remove_prefix(1);
    } else {
      name = TakeQuoted(rest);
    }
    rest = Trimmed(rest);
    if (!name || rest.empty() || rest.front() != '=') continue;
    std::string data(Trimmed(rest.substr(1)));

    // Long binary values go on over lines that end in a backslash; they are
    // kept as they stand so that a rewrite gives them back unchanged.
    if (HasTypeTag(data)) {
      while (!data.empty() && data.back() == '\\' && index + 1 < lines.size() && IsContinuation(lines[index + 1])) {
        data += '\n';
        data += lines[++index];
        while (!data.empty() && (data.back() == ' ' || data.back() == '\t')) data.pop_back();
      }
    }
    auto value = ParseData(data);
    if (!value) continue;
    auto& values = contents.keys_[current].values;
    const auto [existing, added] =
        valueIndex.try_emplace(std::to_string(current) + '\0' + Lowered(*name), values.size());
    if (added) {
      values.emplace_back(std::move(*name), std::move(*value));
    } else {
      values[existing->second].second = std::move(*value);  // the later line wins, as an import would have it
    }
  }
  return contents;
}

std::string HiveContents::Format(std::string_view rootName) const {
  std::string text(kHeader);
  text += "\n\n";
  for (const Key& key : keys_) {
    text += '[';
    text += rootName;
    if (!key.name.empty()) {
      text += '\\';
      text += key.name;
    }
    text += "]\n";
    for (const auto& [name, value] : key.values) {
      text += name.empty() ? std::string("@") : Quoted(name);
      text += '=';
      text += FormatData(value);
      text += '\n';
    }
    text += '\n';
  }
  return text;
}

}  // namespace velkor::registry
