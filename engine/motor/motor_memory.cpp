#include "engine/motor/motor_memory.h"

#include <algorithm>
#include <array>
#include <vector>

#include "engine/core/errors.h"
#include "engine/motor/answer_number.h"
#include "engine/motor/info_block.h"

namespace velkor::engine {

namespace {

// A variable that carries one value of memory, and how its values are
// written back: bytes and words as unsigned numbers, longs signed.
struct Carrier {
  std::string_view name;
  std::uint32_t mask;
  std::size_t size;  // bytes of memory
};
constexpr Carrier kByteCarrier{"ab[0]", 0xFFu, 1};
constexpr Carrier kWordCarrier{"aw[0]", 0xFFFFu, 2};
constexpr Carrier kLongCarrier{"aaa", 0xFFFFFFFFu, 4};

std::string ValueText(const Carrier& carrier, std::uint32_t value) {
  if (carrier.mask == 0xFFFFFFFFu) return std::to_string(static_cast<std::int32_t>(value));
  return std::to_string(value & carrier.mask);
}

std::string Assignment(std::string_view name, const std::string& value) {
  return std::string(name) + "=" + value;
}

std::string PointerCommand(std::int32_t address) { return "EPTR=" + std::to_string(address); }

std::int32_t ReadNumber(MotorRecord& motor, std::string_view name) { return AnswerNumber(ReadVariable(motor, name)); }

// The whole access lies in memory; nothing is sent for one that does not.
void RequireInMemory(std::int32_t address, std::size_t length) {
  if (address < 0 || static_cast<std::size_t>(address) + length > motor_memory::kSize)
    throw CVNXException(ErrorCode::InvalidData);
}

// Status bit Bs tells a load or store the motor refused (it then leaves the
// variable as it was): cleared before, looked at after.
constexpr std::string_view kClearRefusal = "Zs";
bool Refused(std::string_view statusAnswer) { return statusAnswer == "1"; }

std::uint32_t ReadThrough(MotorRecord& motor, const Carrier& carrier, std::int32_t address) {
  RequireInMemory(address, carrier.size);
  const auto saved = static_cast<std::uint32_t>(ReadNumber(motor, carrier.name));
  motor.MotorSendCommand(kClearRefusal);
  motor.MotorSendCommand(PointerCommand(address));
  motor.MotorSendCommand("VLD(" + std::string(carrier.name) + ",1)");
  const bool refused = Refused(ReadVariable(motor, "Bs"));
  const auto value = static_cast<std::uint32_t>(ReadNumber(motor, carrier.name));
  motor.MotorSendCommand(Assignment(carrier.name, ValueText(carrier, saved)));
  if (refused) throw CVNXException(ErrorCode::InvalidData);
  return value & carrier.mask;
}

void WriteThrough(MotorRecord& motor, const Carrier& carrier, std::int32_t address, std::uint32_t value) {
  RequireInMemory(address, carrier.size);
  if (!motor.hasEeprom) return;
  const auto saved = static_cast<std::uint32_t>(ReadNumber(motor, carrier.name));
  motor.MotorSendCommand(Assignment(carrier.name, ValueText(carrier, value)));
  motor.MotorSendCommand(kClearRefusal);
  motor.MotorSendCommand(PointerCommand(address));
  motor.MotorSendCommand("VST(" + std::string(carrier.name) + ",1)");
  const bool refused = Refused(WaitStoreDone(motor));
  motor.MotorSendCommand(Assignment(carrier.name, ValueText(carrier, saved)));
  if (refused) throw CVNXException(ErrorCode::InvalidData);
}

// Blocks move through the longs "aaa", "bbb", ... "jjj".
constexpr std::size_t kBlockVariables = 10;
std::string BlockVariable(std::size_t index) { return std::string(3, static_cast<char>('a' + index)); }

// The first `count` block variables, read now and written back when the
// block is through. A failure on the way leaves them unrestored: the motor
// cannot be reached then anyway.
class SavedBlockVariables {
 public:
  SavedBlockVariables(MotorRecord& motor, std::size_t count) : motor_(motor), count_(count) {
    for (std::size_t i = 0; i < count_; ++i) values_[i] = ReadNumber(motor_, BlockVariable(i));
  }
  void Restore() {
    for (std::size_t i = 0; i < count_; ++i)
      motor_.MotorSendCommand(Assignment(BlockVariable(i), std::to_string(values_[i])));
  }

 private:
  MotorRecord& motor_;
  std::size_t count_;
  std::array<std::int32_t, kBlockVariables> values_{};
};

// Notification codes of a block read.
constexpr std::uint32_t kNotifyStep = 2;
constexpr std::uint32_t kNotifyEnd = 3;
constexpr std::uint32_t kNotifyBlockRead = 8;
constexpr std::size_t kNotifiedBlockLength = 150;

}  // namespace

std::string ReadVariable(MotorRecord& motor, std::string_view name) {
  return motor.MotorGetResponse("R" + std::string(name));
}

std::uint8_t ReadMotorByte(MotorRecord& motor, std::int32_t address) {
  return static_cast<std::uint8_t>(ReadThrough(motor, kByteCarrier, address));
}
std::uint16_t ReadMotorWord(MotorRecord& motor, std::int32_t address) {
  return static_cast<std::uint16_t>(ReadThrough(motor, kWordCarrier, address));
}
std::int32_t ReadMotorLong(MotorRecord& motor, std::int32_t address) {
  return static_cast<std::int32_t>(ReadThrough(motor, kLongCarrier, address));
}

void WriteMotorByte(MotorRecord& motor, std::int32_t address, std::uint8_t value) {
  WriteThrough(motor, kByteCarrier, address, value);
}
void WriteMotorWord(MotorRecord& motor, std::int32_t address, std::uint16_t value) {
  WriteThrough(motor, kWordCarrier, address, value);
}
void WriteMotorLong(MotorRecord& motor, std::int32_t address, std::int32_t value) {
  WriteThrough(motor, kLongCarrier, address, static_cast<std::uint32_t>(value));
}

std::string WaitStoreDone(MotorRecord& motor) {
  auto link = motor.Link();
  LinkSettings& settings = link->settings;
  struct Restore {
    LinkSettings& settings;
    std::int32_t timeout, echoMul, echoConst;
    ~Restore() {
      settings.timeout = timeout;
      settings.echoTimeoutMul = echoMul;
      settings.echoTimeoutConst = echoConst;
    }
  } restore{settings, settings.timeout, settings.echoTimeoutMul, settings.echoTimeoutConst};
  settings.timeout = 5000;
  settings.echoTimeoutMul = 0;
  settings.echoTimeoutConst = 5000;
  return ReadVariable(motor, "Bs");  // answered once the store has finished
}

bool ReadMotorBlock(MotorRecord& motor, std::int32_t address, std::span<std::uint8_t> buffer) {
  if (buffer.empty()) return true;
  auto link = motor.Link();
  const bool notify = link->settings.notificationWindow != 0 && buffer.size() >= kNotifiedBlockLength;
  if (notify) {
    link->Notify(kNotifyBlockRead, static_cast<std::intptr_t>(buffer.size()));
    link->Notify(kNotifyStep, 0);
  }
  const std::size_t longs = (buffer.size() + 3) / 4;
  RequireInMemory(address, longs * 4);
  SavedBlockVariables saved(motor, std::min(longs, kBlockVariables));
  motor.MotorSendCommand(kClearRefusal);
  motor.MotorSendCommand(PointerCommand(address));

  std::size_t stored = 0;
  bool cancelled = false;
  for (std::size_t done = 0; done < longs && !cancelled;) {
    const std::size_t count = std::min(longs - done, kBlockVariables);
    motor.MotorSendCommand("VLD(aaa," + std::to_string(count) + ")");
    for (std::size_t i = 0; i < count; ++i) {
      const auto value = static_cast<std::uint32_t>(ReadNumber(motor, BlockVariable(i)));
      for (int shift = 24; shift >= 0 && stored < buffer.size(); shift -= 8)
        buffer[stored++] = static_cast<std::uint8_t>(value >> shift);
      if (notify && link->Notify(kNotifyStep, static_cast<std::intptr_t>(stored)) == 0) {
        cancelled = true;
        break;
      }
    }
    done += count;
  }
  const bool refused = Refused(ReadVariable(motor, "Bs"));
  saved.Restore();
  if (notify) link->Notify(kNotifyEnd, 0);
  if (refused) throw CVNXException(ErrorCode::InvalidData);
  return !cancelled;
}

void WriteMotorBlock(MotorRecord& motor, std::int32_t address, std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return;
  const std::size_t longs = (bytes.size() + 3) / 4;
  RequireInMemory(address, longs * 4);
  if (!motor.hasEeprom) return;
  std::vector<std::uint8_t> whole(longs * 4);
  if (bytes.size() % 4 != 0) {
    // The last long reaches past the block: keep what the motor holds there.
    const std::size_t lastLong = (longs - 1) * 4;
    ReadMotorBlock(motor, address + static_cast<std::int32_t>(lastLong), std::span(whole).subspan(lastLong));
  }
  std::copy(bytes.begin(), bytes.end(), whole.begin());

  SavedBlockVariables saved(motor, std::min(longs, kBlockVariables));
  motor.MotorSendCommand(kClearRefusal);
  motor.MotorSendCommand(PointerCommand(address));
  bool refused = false;
  for (std::size_t done = 0; done < longs;) {
    const std::size_t count = std::min(longs - done, kBlockVariables);
    for (std::size_t i = 0; i < count; ++i) {
      const auto value = static_cast<std::int32_t>(BigEndianLong(whole, (done + i) * 4));
      motor.MotorSendCommand(Assignment(BlockVariable(i), std::to_string(value)));
    }
    motor.MotorSendCommand("VST(aaa," + std::to_string(count) + ")");
    refused = Refused(WaitStoreDone(motor)) || refused;
    done += count;
  }
  saved.Restore();
  if (refused) throw CVNXException(ErrorCode::InvalidData);
}

std::uint16_t ReadInfoBlock(MotorRecord& motor) {
  motor.infoBlock.reset();
  if (ReadMotorWord(motor, motor_memory::kInfoBlock) != info_block::kMagic) return 0;
  const std::uint16_t length = ReadMotorWord(motor, motor_memory::kInfoBlockLength);
  motor.infoBlockLength = length;
  if (length <= info_block::kShortest || length >= info_block::kLongest) return 0;
  std::vector<std::uint8_t> block(length);
  if (!ReadMotorBlock(motor, motor_memory::kInfoBlock, block)) return 0;
  if (!InfoBlockChecksumValid(block)) return 0;
  motor.infoBlock = std::move(block);
  return length;
}

}  // namespace velkor::engine
