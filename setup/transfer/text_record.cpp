#include "setup/transfer/text_record.h"

#include <fstream>

#include "setup/transfer/motor_data_block.h"

namespace velkor::setup {

using std::chrono::milliseconds;

bool StoreText(std::string_view text, int eepromAddress, MotorChannel& motor, Clock& clock) {
  const std::string address = std::to_string(motor.Address());
  for (int k = 0; k < block::kTextLength; ++k) {
    const std::string element = "al[" + std::to_string(k) + "]=";
    // The first command carries the address; the motor stays selected after it.
    const bool sent = static_cast<std::size_t>(k) < text.size()
                          ? motor.HostWrite(address + element +
                                            std::to_string(static_cast<unsigned char>(text[static_cast<std::size_t>(k)])))
                          : motor.HostWrite(element + "-1");
    if (!sent) return false;
  }
  clock.Sleep(milliseconds(10));
  if (!motor.HostWrite("EPTR=" + std::to_string(eepromAddress))) return false;
  clock.Sleep(milliseconds(10));
  if (!motor.HostWrite("VST(aa,26)")) return false;
  clock.Sleep(milliseconds(800));
  return true;
}

std::optional<std::string> LoadText(int eepromAddress, MotorChannel& motor, Clock& clock) {
  if (!motor.HostWrite(std::to_string(motor.Address()) + "EPTR=" + std::to_string(eepromAddress))) return std::nullopt;
  clock.Sleep(milliseconds(10));
  if (!motor.HostWrite("VLD(aa,26)")) return std::nullopt;
  clock.Sleep(milliseconds(100));
  std::string text;
  for (int k = 0; k < block::kTextLength; ++k) {
    const auto answer = motor.Ask("Ral[" + std::to_string(k) + "]");
    if (!answer) return std::nullopt;
    clock.Sleep(milliseconds(3));
    // Taken as a 16-bit number, as the motor's word is.
    const auto code = static_cast<std::int16_t>(std::atol(answer->c_str()));
    if (code == -1) break;
    text.push_back(static_cast<char>(code));
  }
  return text;
}

std::optional<std::string> ExpectedProgramChecksum(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string header(23, '\0');
  if (!in.read(header.data(), static_cast<std::streamsize>(header.size()))) return std::nullopt;
  return header.substr(17, 6) + " " + header.substr(5, 6) + " P";
}

}  // namespace velkor::setup
