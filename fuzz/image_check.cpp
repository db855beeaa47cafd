#include "fuzz/image_check.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace velkor::fuzz {
namespace {

struct Header {
  std::uint32_t checksum = 0;
  std::uint32_t length = 0;
  std::uint32_t labelChecksum = 0;
  std::vector<std::uint32_t> labels;
  std::string_view body;
};

// A template as it sits in the decoded body: its letter, the address it
// carries (none for $C, $D, $e) and the offset of the text it stands for.
struct Template {
  char letter = 0;
  std::uint32_t target = 0;
  std::size_t at = 0;
};

struct DecodedBody {
  std::string text;
  std::vector<Template> templates;
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;  // lower case included: every field is upper-case hex
}

std::optional<std::uint32_t> ReadHex(std::string_view text, std::size_t& position, std::size_t width) {
  if (position + width > text.size()) return std::nullopt;
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < width; ++i) {
    const int digit = HexDigit(text[position + i]);
    if (digit < 0) return std::nullopt;
    value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  position += width;
  return value;
}

std::optional<Header> ReadHeader(std::string_view image) {
  if (!image.starts_with("$4000")) return std::nullopt;
  std::size_t position = 5;
  Header header;
  const auto checksum = ReadHex(image, position, 6);
  const auto length = ReadHex(image, position, 6);
  const auto labelChecksum = ReadHex(image, position, 6);
  const auto slots = ReadHex(image, position, 4);
  if (!checksum || !length || !labelChecksum || !slots) return std::nullopt;
  header.checksum = *checksum;
  header.length = *length;
  header.labelChecksum = *labelChecksum;
  for (std::uint32_t slot = 0; slot < *slots; ++slot) {
    const auto address = ReadHex(image, position, 4);
    if (!address) return std::nullopt;
    header.labels.push_back(*address);
  }
  header.body = image.substr(position);
  return header;
}

// The keyword text that "$" and the letter stand for: three bytes for the
// templates that carry an address, one for the others.
std::string_view AddressedStem(char letter) {
  switch (letter) {
    case 'I': return "IF ";
    case 'A':
    case 'E': return "ELS";
    case 'S': return "SWI";
    case 'c': return "ASE";
    case 'X': return "BRE";
    case 'W': return "WHI";
    case 'L': return "LOO";
    case 'B': return "GOT";
    case 'G': return "GOS";
    default: return {};
  }
}

std::string_view BareStem(char letter) {
  switch (letter) {
    case 'C': return "C";
    case 'D': return "D";
    case 'e': return "E";
    default: return {};
  }
}

std::optional<DecodedBody> Decode(std::string_view body, std::vector<std::string>& problems) {
  DecodedBody decoded;
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (body[i] != '$') {
      decoded.text += body[i];
      continue;
    }
    const char letter = i + 1 < body.size() ? body[i + 1] : '\0';
    if (const std::string_view stem = AddressedStem(letter); !stem.empty()) {
      std::size_t position = i + 2;
      const auto target = ReadHex(body, position, 4);
      if (!target) {
        problems.push_back("template $" + std::string(1, letter) + " at " + std::to_string(i) + " has no address");
        return std::nullopt;
      }
      decoded.templates.push_back({letter, *target, decoded.text.size()});
      decoded.text += stem;
      i = position - 1;
    } else if (const std::string_view bare = BareStem(letter); !bare.empty()) {
      decoded.templates.push_back({letter, 0, decoded.text.size()});
      decoded.text += bare;
      ++i;
    } else {
      problems.push_back("a \"$\" at " + std::to_string(i) + " starts no template");
      return std::nullopt;
    }
  }
  return decoded;
}

std::int32_t SignedSum(std::string_view text) {
  std::uint32_t sum = 0;  // wraps like the 32-bit field it is compared with
  for (char c : text) sum += static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<std::int8_t>(c)));
  return static_cast<std::int32_t>(sum);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The decimal number at `position`, saturated well above any label; -1 when
// there is no digit.
std::int64_t NumberAt(std::string_view text, std::size_t position) {
  if (position >= text.size() || !IsDigit(text[position])) return -1;
  std::int64_t value = 0;
  while (position < text.size() && IsDigit(text[position])) {
    value = std::min<std::int64_t>(value * 10 + (text[position++] - '0'), 1'000'000'000);
  }
  return value;
}

class BodyChecker {
 public:
  BodyChecker(const Header& header, const DecodedBody& body, std::vector<std::string>& problems)
      : header_(header), text_(body.text), templates_(body.templates), problems_(problems) {}

  void Run() {
    if (text_.size() != header_.length) {
      Problem("body holds " + std::to_string(text_.size()) + " bytes, header says " + std::to_string(header_.length));
    }
    // The field keeps six digits: the low 24 bits of the 32-bit sum.
    if ((static_cast<std::uint32_t>(SignedSum(text_)) & 0xFFFFFFu) != header_.checksum) {
      Problem("body checksum differs from header");
    }
    CheckLines();
    CheckLabelTable();
    for (std::size_t i = 0; i < templates_.size(); ++i) CheckTemplateText(i);
    // Addresses are 16 bits: past 64 KiB of body they wrap and say nothing.
    if (text_.size() > 0xFFFF) return;
    for (const Template& item : templates_) CheckTarget(item);
  }

 private:
  void Problem(std::string what) { problems_.push_back(std::move(what)); }

  bool At(std::size_t position, std::string_view keyword) const {
    return position <= text_.size() && text_.compare(position, keyword.size(), keyword) == 0;
  }
  // The keyword, then the one space or line end that separates statements,
  // then `position`.
  bool After(std::size_t position, std::string_view keyword) const {
    if (position < keyword.size() + 1 || position > text_.size()) return false;
    const char separator = text_[position - 1];
    return (separator == ' ' || separator == '\n') && At(position - keyword.size() - 1, keyword);
  }
  bool StartsToken(std::size_t position) const {
    return position == 0 || text_[position - 1] == ' ' || text_[position - 1] == '\n';
  }
  std::int64_t LabelAt(std::size_t position) const {
    if (position >= text_.size() || text_[position] != 'C' || !StartsToken(position)) return -1;
    return NumberAt(text_, position + 1);
  }

  // Every line of the body has text and ends in LF; no CR survives.
  void CheckLines() {
    if (text_.find('\r') != std::string::npos) Problem("body holds a CR");
    if (!text_.empty() && text_.back() != '\n') Problem("body does not end in LF");
    if (text_.starts_with('\n') || text_.find("\n\n") != std::string::npos) Problem("body holds an empty line");
  }

  void CheckLabelTable() {
    const std::size_t slots = header_.labels.size();
    if (slots < 4 || slots % 4 != 0) Problem("label table of " + std::to_string(slots) + " slots");
    std::uint32_t lowestChecksum = 0;
    for (std::size_t label = 0; label < slots; ++label) {
      const std::uint32_t address = header_.labels[label];
      if (address == 0) continue;  // undefined, or defined at the very start
      lowestChecksum += (address & 0xFFu) + (address >> 8);
      if (text_.size() <= 0xFFFF && LabelAt(address) != static_cast<std::int64_t>(label)) {
        Problem("label slot " + std::to_string(label) + " points at no label C" + std::to_string(label));
      }
    }
    // Repeated definitions add to the checksum but not to the table.
    if (header_.labelChecksum < lowestChecksum) Problem("label checksum below that of the label table");
  }

  // Each template stands for the whole keyword it replaced.
  void CheckTemplateText(std::size_t index) {
    const Template& item = templates_[index];
    const Template* next = index + 1 < templates_.size() ? &templates_[index + 1] : nullptr;
    const Template* previous = index > 0 ? &templates_[index - 1] : nullptr;
    bool sound = true;
    switch (item.letter) {
      case 'A': sound = At(item.at, "ELSEIF ") && next && next->letter == 'I' && next->at == item.at + 4; break;
      case 'E': sound = At(item.at, "ELSE"); break;
      case 'S': sound = At(item.at, "SWITCH "); break;
      case 'C': sound = next && next->letter == 'c' && next->at == item.at + 1 && At(item.at, "CASE "); break;
      case 'c': sound = previous && previous->letter == 'C'; break;
      case 'D': sound = At(item.at, "DEFAULT"); break;
      case 'e': sound = At(item.at, "ENDS"); break;
      case 'X': sound = At(item.at, "BREAK"); break;
      case 'W': sound = At(item.at, "WHILE "); break;
      case 'L': sound = At(item.at, "LOOP"); break;
      case 'B': sound = At(item.at, "GOTO") && NumberAt(text_, item.at + 4) >= 0; break;
      case 'G': sound = At(item.at, "GOSUB") && NumberAt(text_, item.at + 5) >= 0; break;
      default: break;
    }
    if (!sound) Problem(Where(item) + " does not stand for its keyword");
  }

  // Where each jump lands, as the structure it belongs to says; the end of
  // the body stands for "after the last token".
  void CheckTarget(const Template& item) {
    if (BareStem(item.letter).size() > 0) return;
    const std::size_t target = item.target;
    if (target > text_.size()) {
      Problem(Where(item) + " jumps past the end of the body");
      return;
    }
    const bool atEnd = target == text_.size();
    bool sound = true;
    switch (item.letter) {
      case 'I':  // the next ELSEIF's condition, or after ELSE or ENDIF
        sound = atEnd || After(target, "ELSE") || After(target, "ENDIF") || (target >= 4 && At(target - 4, "ELSEIF "));
        break;
      case 'A':
      case 'E': sound = atEnd || After(target, "ENDIF"); break;
      case 'S': sound = target >= 1 && At(target - 1, "CASE "); break;
      case 'c': sound = (target >= 1 && At(target - 1, "CASE ")) || At(target, "DEFAULT") || At(target, "ENDS"); break;
      case 'X': sound = atEnd || At(target, "ENDS") || After(target, "LOOP"); break;
      case 'W': sound = atEnd || After(target, "LOOP"); break;
      case 'L': sound = At(target, "WHILE "); break;
      case 'B':
      case 'G': sound = JumpsToItsLabel(item); break;
      default: break;
    }
    if (!sound) Problem(Where(item) + " jumps to " + std::to_string(target) + ", where its structure has nothing");
  }

  bool JumpsToItsLabel(const Template& jump) const {
    const std::int64_t label = NumberAt(text_, jump.at + (jump.letter == 'B' ? 4 : 5));
    if (label < 0 || label >= static_cast<std::int64_t>(header_.labels.size())) return false;
    return header_.labels[static_cast<std::size_t>(label)] == jump.target && LabelAt(jump.target) == label;
  }

  static std::string Where(const Template& item) {
    return "template $" + std::string(1, item.letter) + " at body offset " + std::to_string(item.at);
  }

  const Header& header_;
  const std::string& text_;
  const std::vector<Template>& templates_;
  std::vector<std::string>& problems_;
};

}  // namespace

std::vector<std::string> CheckImage(std::string_view image, bool bodyIsUnambiguous) {
  const std::optional<Header> header = ReadHeader(image);
  if (!header) return {"image header is unreadable: " + std::string(image.substr(0, 48))};
  // A "$" of a string literal reads as a template, and then the body no
  // longer says what the header counted: only the header's shape is checked.
  if (!bodyIsUnambiguous) return {};
  std::vector<std::string> problems;
  if (const std::optional<DecodedBody> decoded = Decode(header->body, problems)) {
    BodyChecker(*header, *decoded, problems).Run();
  }
  return problems;
}

}  // namespace velkor::fuzz
