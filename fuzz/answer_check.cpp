#include <cctype>
#include <cstdint>
#include <string_view>

#include "engine/motion/streaming.h"
#include "engine/motor/answer_number.h"
#include "engine/motor/program_image.h"
#include "fuzz/input_checks.h"

namespace velkor::fuzz {
namespace {

// What the number of an answer is, written out the long way.
std::int32_t Reference(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;  // line ends count as blanks
  bool negative = false;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
  std::uint32_t value = 0;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9')
    value = value * 10 + static_cast<std::uint32_t>(text[at++] - '0');
  return static_cast<std::int32_t>(negative ? 0u - value : value);
}

bool HexDigits(std::string_view text) {
  for (char c : text)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

}  // namespace

Violations CheckAnswers(std::span<const std::uint8_t> bytes) {
  using namespace engine;
  Violations violations;
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (AnswerNumber(text) != Reference(text)) violations.push_back("an answer's number is not its digits");

  const bool passed = transfer::IsChecksumAnswer(text, transfer::ChecksumStatus::PassedOnly);
  const bool passedOrFailed = transfer::IsChecksumAnswer(text, transfer::ChecksumStatus::PassedOrFailed);
  if (passed && !passedOrFailed) violations.push_back("a passed checksum answer is not one that passed or failed");
  if (passedOrFailed) {
    const bool wellFormed = text.size() == 15 && HexDigits(text.substr(0, 6)) && text[6] == ' ' &&
                            HexDigits(text.substr(7, 6)) && text[13] == ' ' && (text[14] == 'P' || text[14] == 'F');
    if (!wellFormed) violations.push_back("a malformed checksum answer was accepted");
    else if (transfer::StoredChecksum(text) != std::stoul(std::string(text.substr(7, 6)), nullptr, 16))
      violations.push_back("the stored checksum is not the answer's second field");
  }
  (void)transfer::ExpectedChecksum(text);
  if (text.size() >= 2) {
    const std::size_t half = text.size() / 2;
    (void)transfer::VersionCompatible(text.substr(0, half), text.substr(half));
  }
  (void)motion::DecodeStatusAnswer(text);
  return violations;
}

}  // namespace velkor::fuzz
