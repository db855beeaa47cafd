#include "sim/firmware/program_memory.h"

#include <cstdio>
#include <optional>

namespace velkor::sim {
namespace {

// More than any program the host may send (it refuses images of 32 KiB).
constexpr std::size_t kImageLimit = 65536;

std::optional<std::uint32_t> Hex(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : text) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (digit < 0) return std::nullopt;
    value = (value << 4) | static_cast<std::uint32_t>(digit);
  }
  return value;
}

// The keyword text a template's "$" and letter stand for; empty when the
// letter makes no template.
std::string_view KeywordPart(char letter) {
  switch (letter) {
    case 'I': return "IF ";
    case 'A': return "ELS";  // "$A....E$I....": ELS, E, IF
    case 'E': return "ELS";  // "$E....E": ELSE
    case 'S': return "SWI";  // "$S....TCH "
    case 'c': return "ASE";  // "$C$c.... ": C, ASE, blank
    case 'X': return "BRE";  // "$X....AK"
    case 'W': return "WHI";  // "$W....LE "
    case 'L': return "LOO";  // "$L....P"
    case 'B': return "GOT";  // "$B....O" and the label digits
    case 'G': return "GOS";  // "$G....UB" and the label digits
    case 'C': return "C";
    case 'D': return "D";  // "$DEFAULT"
    case 'e': return "E";  // "$eNDS"
    default: return {};
  }
}

bool CarriesTarget(char letter) { return letter != 'C' && letter != 'D' && letter != 'e'; }

}  // namespace

StoredProgram StoredProgram::FromImage(std::string_view image) {
  // The checksum field has six digits, eight when the body's sum is
  // negative; the width whose body comes out at the announced length wins.
  StoredProgram six;
  bool sixParsed = six.Parse(image, 6);
  if (sixParsed && six.body_.size() == six.header_length_) return six;
  StoredProgram eight;
  if (eight.Parse(image, 8) && eight.body_.size() == eight.header_length_) return eight;
  if (sixParsed) return six;
  return Broken();
}

StoredProgram StoredProgram::Broken() {
  StoredProgram broken;
  broken.well_formed_ = false;
  return broken;
}

bool StoredProgram::Parse(std::string_view image, std::size_t checksumWidth) {
  // '$', version (4), checksum, length (6), label checksum (6), slot count (4).
  std::size_t fixed = 1 + 4 + checksumWidth + 6 + 6 + 4;
  if (image.size() < fixed || image[0] != '$') return false;
  std::size_t at = 5;
  auto checksum = Hex(image.substr(at, checksumWidth));
  at += checksumWidth;
  auto length = Hex(image.substr(at, 6));
  auto labelChecksum = Hex(image.substr(at + 6, 6));
  auto slots = Hex(image.substr(at + 12, 4));
  at += 16;
  if (!checksum || !length || !labelChecksum || !slots) return false;
  std::size_t table = std::size_t{*slots} * 4;
  if (image.size() - at < table || (table > 0 && !Hex(image.substr(at, table)))) return false;
  for (std::size_t slot = 0; slot < *slots; ++slot)
    labels_.push_back(static_cast<std::uint16_t>(*Hex(image.substr(at + 4 * slot, 4))));
  at += table;
  header_checksum_ = *checksum & 0xFFFFFF;
  label_checksum_ = *labelChecksum & 0xFFFFFF;
  header_length_ = *length;

  std::string_view rest = image.substr(at);
  for (std::size_t i = 0; i < rest.size();) {
    std::string_view part = rest[i] == '$' && i + 1 < rest.size() ? KeywordPart(rest[i + 1]) : "";
    std::optional<std::uint32_t> target;
    if (!part.empty() && CarriesTarget(rest[i + 1])) {
      target = i + 6 <= rest.size() ? Hex(rest.substr(i + 2, 4)) : std::nullopt;
      if (!target) part = {};  // a "$" of the program's own text
    }
    if (part.empty()) {
      body_.push_back(rest[i]);
      ++i;
      continue;
    }
    if (target) jumps_.push_back(StoredJump{static_cast<std::uint16_t>(body_.size()), rest[i + 1],
                                            static_cast<std::uint16_t>(*target)});
    body_ += part;
    i += target ? 6 : 2;
  }
  return true;
}

std::optional<std::uint16_t> StoredProgram::LabelAddress(std::uint32_t label) const {
  if (label >= labels_.size()) return std::nullopt;
  // "0000" stands for a label not defined, unless the label opens the body.
  const std::uint16_t address = labels_[label];
  const std::string word = "C" + std::to_string(label);
  const bool opens = body_.compare(0, word.size(), word) == 0 &&
                     (body_.size() == word.size() || body_[word.size()] == ' ' || body_[word.size()] == '\n');
  if (address == 0 && !opens) return std::nullopt;
  return address;
}

std::uint32_t StoredProgram::BodyChecksum() const {
  std::uint32_t sum = 0;
  for (char c : body_) sum += static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<std::int8_t>(c)));
  return sum & 0xFFFFFF;
}

bool StoredProgram::Passes() const {
  return well_formed_ && BodyChecksum() == header_checksum_ && body_.size() == header_length_;
}

std::string StoredProgram::ChecksumAnswer() const {
  char text[32];
  std::snprintf(text, sizeof text, "%06X %06X %c", static_cast<unsigned>(label_checksum_),
                static_cast<unsigned>(BodyChecksum()), Passes() ? 'P' : 'F');
  return text;
}

bool ImageReceiver::Take(std::uint8_t byte) {
  // Bytes that might begin the end marker are held back until it is clear
  // whether they do ("\xFF\xFF\xFF\x20" is one 0xFF of the image, then the end).
  marker_.push_back(static_cast<char>(byte));
  while (!kImageEnd.starts_with(marker_)) {
    if (image_.size() < kImageLimit) {
      image_.push_back(marker_[0]);
    } else {
      overflowed_ = true;
    }
    marker_.erase(0, 1);
  }
  return marker_ == kImageEnd;
}

void ImageReceiver::Spoil() {
  for (char c : marker_ + '\0') {
    if (image_.size() < kImageLimit) {
      image_.push_back(c);
    } else {
      overflowed_ = true;
    }
  }
  marker_.clear();
}

StoredProgram ImageReceiver::Finish() {
  StoredProgram program = overflowed_ ? StoredProgram::Broken() : StoredProgram::FromImage(image_);
  image_.clear();
  marker_.clear();
  overflowed_ = false;
  return program;
}

}  // namespace velkor::sim
