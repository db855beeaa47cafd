#include <algorithm>

#include "platform/files/text.h"
#include "platform/profile/profile.h"

namespace velkor::profile {

namespace {

using files::Trimmed;

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  auto folded = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return folded(x) == folded(y); });
}

std::optional<std::string_view> SectionName(std::string_view line) {
  line = Trimmed(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  const auto close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trimmed(line.substr(1, close - 1));
}

struct KeyLine {
  std::string_view key;
  std::size_t valueStart;  // just after the '=' and the blanks that follow it
};

std::optional<KeyLine> KeyOf(std::string_view line) {
  const std::string_view trimmed = Trimmed(line);
  if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[') return std::nullopt;
  const auto equals = line.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  const std::string_view key = Trimmed(line.substr(0, equals));
  if (key.empty()) return std::nullopt;
  std::size_t valueStart = equals + 1;
  while (valueStart < line.size() && (line[valueStart] == ' ' || line[valueStart] == '\t')) ++valueStart;
  return KeyLine{key, valueStart};
}

std::string ValueOf(std::string_view line, const KeyLine& key) {
  std::string_view value = Trimmed(line.substr(key.valueStart));
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
  return std::string(value);
}

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

// Names that would read back as something else, or as no section or key at
// all, are refused rather than written.
bool IsUsableSection(std::string_view section) {
  return !section.empty() && !HasLineBreak(section) && section.find(']') == std::string_view::npos;
}
bool IsUsableKey(std::string_view key) {
  return !key.empty() && !HasLineBreak(key) && key.find('=') == std::string_view::npos && key.front() != '[' &&
         key.front() != ';';
}

void AddUnique(std::vector<std::string>& names, std::string_view name) {
  const bool known =
      std::any_of(names.begin(), names.end(), [&](const std::string& known) { return EqualsIgnoringCase(known, name); });
  if (!known) names.emplace_back(name);
}

}  // namespace

ProfileText ProfileText::Parse(std::string_view text) {
  ProfileText profile;
  profile.byteOrderMark_ = files::StripByteOrderMark(text);
  bool newlineKnown = false;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    Line line;
    if (end == std::string_view::npos) {
      line.text = std::string(text.substr(start));
      start = text.size();
      // A CR at the very end is a line end, also without its LF.
      if (!line.text.empty() && line.text.back() == '\r') {
        line.text.pop_back();
        line.ending = "\r";
      }
    } else {
      std::size_t textEnd = end;
      if (textEnd > start && text[textEnd - 1] == '\r') --textEnd;
      line.text = std::string(text.substr(start, textEnd - start));
      line.ending = std::string(text.substr(textEnd, end + 1 - textEnd));
      start = end + 1;
      if (!newlineKnown) {
        profile.newline_ = line.ending;
        newlineKnown = true;
      }
    }
    profile.lines_.push_back(std::move(line));
  }
  return profile;
}

std::string ProfileText::Text() const {
  std::string text = byteOrderMark_ ? std::string(files::kByteOrderMark) : std::string();
  for (const Line& line : lines_) {
    text += line.text;
    text += line.ending;
  }
  return text;
}

std::optional<ProfileText::Span> ProfileText::FindSection(std::string_view section, std::size_t from) const {
  section = Trimmed(section);
  for (std::size_t i = from; i < lines_.size(); ++i) {
    const auto name = SectionName(lines_[i].text);
    if (!name || !EqualsIgnoringCase(*name, section)) continue;
    std::size_t end = i + 1;
    while (end < lines_.size() && !SectionName(lines_[end].text)) ++end;
    return Span{i, end};
  }
  return std::nullopt;
}

std::optional<std::size_t> ProfileText::FindKey(const Span& span, std::string_view key) const {
  key = Trimmed(key);
  for (std::size_t i = span.header + 1; i < span.end; ++i) {
    const auto line = KeyOf(lines_[i].text);
    if (line && EqualsIgnoringCase(line->key, key)) return i;
  }
  return std::nullopt;
}

std::optional<std::string> ProfileText::Get(std::string_view section, std::string_view key) const {
  const auto span = FindSection(section);
  if (!span) return std::nullopt;
  const auto index = FindKey(*span, key);
  if (!index) return std::nullopt;
  const std::string& text = lines_[*index].text;
  return ValueOf(text, *KeyOf(text));
}

std::vector<std::string> ProfileText::Sections() const {
  std::vector<std::string> names;
  for (const Line& line : lines_) {
    if (const auto name = SectionName(line.text)) AddUnique(names, *name);
  }
  return names;
}

std::vector<std::string> ProfileText::Keys(std::string_view section) const {
  std::vector<std::string> keys;
  if (const auto span = FindSection(section)) {
    for (std::size_t i = span->header + 1; i < span->end; ++i) {
      if (const auto line = KeyOf(lines_[i].text)) AddUnique(keys, line->key);
    }
  }
  return keys;
}

void ProfileText::InsertLine(std::size_t position, std::string text) {
  // A last line without a line end gets one now that another follows it;
  // the new line then ends the file the way the old one did.
  std::string ending = newline_;
  if (position > 0 && lines_[position - 1].ending.empty()) {
    lines_[position - 1].ending = newline_;
    if (position == lines_.size()) ending.clear();
  } else if (position > 0 && lines_[position - 1].ending == "\r") {
    // Followed by another line, a lone CR would join the two.
    lines_[position - 1].ending = "\r\n";
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(position), Line{std::move(text), std::move(ending)});
}

bool ProfileText::Set(std::string_view section, std::string_view key, std::string_view value) {
  section = Trimmed(section);
  key = Trimmed(key);
  if (!IsUsableSection(section) || !IsUsableKey(key) || HasLineBreak(value)) return false;

  const auto span = FindSection(section);
  if (!span) {
    if (!lines_.empty() && !Trimmed(lines_.back().text).empty()) InsertLine(lines_.size(), std::string());
    InsertLine(lines_.size(), "[" + std::string(section) + "]");
    InsertLine(lines_.size(), std::string(key) + "=" + std::string(value));
    return true;
  }
  if (const auto index = FindKey(*span, key)) {
    std::string& text = lines_[*index].text;
    text = text.substr(0, KeyOf(text)->valueStart) + std::string(value);
    return true;
  }
  // After the section's last key (or other content), not after the blank
  // lines and comments that lead to the next section.
  std::size_t position = span->header + 1;
  for (std::size_t i = span->header + 1; i < span->end; ++i) {
    const std::string_view trimmed = Trimmed(lines_[i].text);
    if (!trimmed.empty() && trimmed.front() != ';') position = i + 1;
  }
  InsertLine(position, std::string(key) + "=" + std::string(value));
  return true;
}

bool ProfileText::Erase(std::string_view section, std::string_view key) {
  const auto span = FindSection(section);
  if (!span) return false;
  const auto index = FindKey(*span, key);
  if (!index) return false;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*index));
  return true;
}

bool ProfileText::EraseSection(std::string_view section) {
  bool erased = false;
  std::size_t from = 0;
  while (const auto span = FindSection(section, from)) {
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(span->header),
                 lines_.begin() + static_cast<std::ptrdiff_t>(span->end));
    from = span->header;
    erased = true;
  }
  return erased;
}

}  // namespace velkor::profile
