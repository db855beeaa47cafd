#include "engine/motor/program_image.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace velkor::engine::transfer {
namespace {

// The label part of an image without labels: for version 4000 four empty
// slots, for the newer firmware eight.
constexpr std::string_view kLabelsVersion4000 = "00000000040000000000000000";
constexpr std::string_view kLabelsVersion5000 = "000FF00008FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF";

std::string Image(std::string_view version, std::string_view labels, std::string_view body) {
  std::int32_t sum = 0;
  for (char c : body) sum += static_cast<signed char>(c);
  char header[24];
  std::snprintf(header, sizeof header, "$%.4s%06X%06X", version.data(), static_cast<unsigned>(sum),
                static_cast<unsigned>(body.size()));
  std::string image(header);
  image += labels;
  image += body;
  image += kImageTerminator;
  return image;
}

bool IsHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

std::uint32_t HexValue(std::string_view digits) {
  std::uint32_t value = 0;
  for (char c : digits) {
    value = value * 16 + static_cast<std::uint32_t>(std::isdigit(static_cast<unsigned char>(c))
                                                        ? c - '0'
                                                        : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10);
  }
  return value;
}

}  // namespace

std::string BuiltIn(BuiltInImage image) {
  switch (image) {
    case BuiltInImage::PlainProbe: return Image("4000", kLabelsVersion4000, "a=a END\n");
    case BuiltInImage::NewFirmwareProbe: return Image("5000", kLabelsVersion5000, "a=a END\n");
    case BuiltInImage::ChannelOneProbe: return Image("4000", kLabelsVersion4000, "PRINT1(\"a=a\",#13)\nEND\n");
    case BuiltInImage::HostProbe: return Image("4000", kLabelsVersion4000, "PRINT(\"a=a\",#13)\nEND\n");
    case BuiltInImage::EmptyProgram: return Image("4000", kLabelsVersion4000, "END\n");
    case BuiltInImage::HostEmptyProgram: return Image("4000", kLabelsVersion4000, "END\n\n");
  }
  return {};
}

void MarkForServo(std::string& image) {
  if (image.size() < 4) return;
  image[2] = '6';
  image[3] = '3';
}

bool IsChecksumAnswer(std::string_view answer, ChecksumStatus accepted) {
  if (answer.size() != 15 || answer[6] != ' ' || answer[13] != ' ') return false;
  for (std::size_t i : {0, 1, 2, 3, 4, 5, 7, 8, 9, 10, 11, 12}) {
    if (!IsHexDigit(answer[i])) return false;
  }
  return answer[14] == 'P' || (accepted == ChecksumStatus::PassedOrFailed && answer[14] == 'F');
}

std::uint32_t StoredChecksum(std::string_view answer) {
  return answer.size() >= 13 ? HexValue(answer.substr(7, 6)) : 0;
}

std::int64_t ExpectedChecksum(std::string_view image) {
  if (image.size() < 11) return -1;
  const std::string_view digits = image.substr(5, 6);
  if (!std::all_of(digits.begin(), digits.end(), IsHexDigit)) return -1;
  return HexValue(digits);
}

bool HasExtension(const std::filesystem::path& name, std::string_view extension) {
  const std::string text = name.string();
  if (text.size() < extension.size()) return false;
  return std::equal(extension.begin(), extension.end(), text.end() - static_cast<std::ptrdiff_t>(extension.size()),
                    [](char a, char b) {
                      return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
                    });
}

bool VersionCompatible(std::string_view image, std::string_view firmware) {
  const auto oneOf = [&](std::initializer_list<std::string_view> versions) {
    return std::find(versions.begin(), versions.end(), firmware) != versions.end();
  };
  if (image.empty() || firmware.empty() || image[0] != firmware[0]) return false;
  if (image.starts_with("461") && !oneOf({"461", "461h"})) return false;
  if (image.starts_with("462") && !oneOf({"462", "462ah"})) return false;
  if (image.starts_with("463") && (oneOf({"461", "461h", "462", "462ah"}) || !firmware.starts_with("46"))) {
    return false;
  }
  if (image.starts_with("400") && firmware.starts_with("46")) return false;
  return true;
}

}  // namespace velkor::engine::transfer
