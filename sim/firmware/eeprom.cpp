#include "sim/firmware/eeprom.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace velkor::sim {
namespace {

void PutBigEndian(std::vector<std::uint8_t>& block, std::size_t offset, std::uint32_t value, int width) {
  for (int i = 0; i < width; ++i) {
    block[offset + static_cast<std::size_t>(i)] =
        static_cast<std::uint8_t>(value >> (8 * (width - 1 - i)));
  }
}

}  // namespace

Eeprom::Eeprom() { bytes_.fill(0xFF); }

bool Eeprom::Read(int address, std::span<std::uint8_t> out) const {
  if (address < 0 || static_cast<std::size_t>(address) + out.size() > bytes_.size()) return false;
  std::copy_n(bytes_.begin() + address, out.size(), out.begin());
  return true;
}

bool Eeprom::Write(int address, std::span<const std::uint8_t> bytes) {
  if (address < 0 || static_cast<std::size_t>(address) + bytes.size() > bytes_.size()) return false;
  std::copy(bytes.begin(), bytes.end(), bytes_.begin() + address);
  return true;
}

ModelParts SplitModel(const std::string& model) {
  ModelParts parts;
  std::size_t at = 0;
  while (at < model.size() && at < parts.prefix.size() &&
         !std::isdigit(static_cast<unsigned char>(model[at]))) {
    parts.prefix[at] = model[at];
    ++at;
  }
  while (at < model.size() && std::isdigit(static_cast<unsigned char>(model[at]))) {
    parts.number = parts.number * 10 + static_cast<std::uint32_t>(model[at] - '0');
    ++at;
  }
  for (std::size_t i = 0; at < model.size() && i + 1 < parts.suffix.size(); ++i, ++at) {
    parts.suffix[i] = model[at];
  }
  return parts;
}

void WriteFactoryImage(const MotorConfig& config, Eeprom& memory) {
  std::vector<std::uint8_t> serial(4);
  PutBigEndian(serial, 0, config.serial, 4);
  memory.Write(kSerialNumberAddress, serial);
  std::vector<std::uint8_t> address{static_cast<std::uint8_t>(config.address)};
  memory.Write(kAssignedAddressByte, address);

  std::vector<std::uint8_t> block(kInfoBlockLength, 0);
  PutBigEndian(block, 0, kInfoBlockMagic, 2);
  PutBigEndian(block, 2, kInfoBlockLength, 2);
  PutBigEndian(block, 4, 1, 2);  // layout revision of this block
  ModelParts model = SplitModel(config.model);
  for (std::size_t i = 0; i < model.prefix.size(); ++i) block[6 + i] = static_cast<std::uint8_t>(model.prefix[i]);
  PutBigEndian(block, 9, model.number, 4);
  for (std::size_t i = 0; i < model.suffix.size(); ++i) block[13 + i] = static_cast<std::uint8_t>(model.suffix[i]);
  PutBigEndian(block, 44, config.serial, 4);
  PutBigEndian(block, 48, static_cast<std::uint32_t>(config.resolution), 4);
  unsigned sum = 0;
  for (std::size_t i = 4; i + 1 < block.size(); ++i) sum += block[i];
  block.back() = static_cast<std::uint8_t>(sum & 0xFF);
  memory.Write(kInfoBlockAddress, block);
}

}  // namespace velkor::sim
