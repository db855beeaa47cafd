// velkor send, info and mem: one command, one motor's identity, one value of
// motor memory.

#include <algorithm>
#include <charconv>
#include <cinttypes>

#include "tools/velkor/motor_commands.h"
#include "tools/velkor/session.h"

namespace velkor::client {

namespace {

int Usage(std::FILE* err, const std::string& problem) {
  std::fprintf(err, "velkor: %s (try 'velkor --help')\n", problem.c_str());
  return kEngineFailure;
}

bool Has(const std::vector<std::string>& words, std::string_view flag) {
  return std::find(words.begin(), words.end(), flag) != words.end();
}

std::vector<std::string> WordsOf(const std::vector<std::string>& rest) {
  std::vector<std::string> words;
  for (const std::string& word : rest)
    if (!word.starts_with("--")) words.push_back(word);
  return words;
}

bool ParseLong(const std::string& text, long long& value) {
  const char* begin = text.data();
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    begin += 2;
    base = 16;
  }
  auto [end, error] = std::from_chars(begin, text.data() + text.size(), value, base);
  return error == std::errc() && end == text.data() + text.size() && begin != end;
}

}  // namespace

int Send(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err) {
  constexpr std::string_view ownFlags[] = {"--no-answer"};
  PortOptions options;
  if (auto problem = ParsePortOptions(arguments, ownFlags, options)) return Usage(err, *problem);
  const auto words = WordsOf(options.rest);
  if (words.size() != 1) return Usage(err, "send takes one command text (quote it when it has blanks)");
  Session session(out, err);
  if (int status = session.Connect(options)) return status;
  HRESULT status = session.Host().put_DefaultMotor(options.address);
  if (FAILED(status)) return session.Failed("selecting motor " + std::to_string(options.address), status);
  Bstr command(words.front());
  if (Has(options.rest, "--no-answer")) {
    status = session.Host().WriteCmd(command.get());
    return FAILED(status) ? session.Failed("sending '" + words.front() + "'", status) : kDone;
  }
  Bstr answer;
  status = session.Host().GetResponseOf(command.get(), answer.Out());
  // Motors that were never given addresses hear no address but 0.
  static constexpr Session::Hint kSilent[] = {
      {5, "is there a motor at that address? A chain without addresses answers only to --address 0;\n"
          "        'velkor scan --port P' gives its motors addresses 1, 2, 3, ... and lists them"}};
  if (FAILED(status)) return session.Failed("sending '" + words.front() + "'", status, kSilent);
  std::fprintf(out, "%s\n", answer.Utf8().c_str());
  return kDone;
}

int Info(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err) {
  PortOptions options;
  if (auto problem = ParsePortOptions(arguments, {}, options)) return Usage(err, *problem);
  if (!WordsOf(options.rest).empty()) return Usage(err, "info takes no words besides its options");
  Session session(out, err);
  if (int status = session.Connect(options)) return status;
  ComPtr<IVNXMotor> motor;
  if (!session.Motor(options, motor)) return kEngineFailure;

  Bstr model, serial, firmware;
  DOUBLE sampleRate = 0;
  LONG resolution = 0;
  HRESULT status;
  if (FAILED(status = motor->GetModelStr(model.Out()))) return session.Failed("reading the model", status);
  if (FAILED(status = motor->GetSerialNumber(serial.Out()))) return session.Failed("reading the serial number", status);
  if (FAILED(status = motor->get_Version(firmware.Out()))) return session.Failed("reading the firmware version", status);
  if (FAILED(status = motor->get_SampleRate(&sampleRate))) return session.Failed("reading the sample rate", status);
  if (FAILED(status = motor->GetEncoderResolution(&resolution)))
    return session.Failed("reading the encoder resolution", status);
  std::fprintf(out,
               "address:            %d\n"
               "model:              %s\n"
               "serial number:      %s\n"
               "firmware:           %s\n"
               "sample rate:        %.2f Hz\n"
               "encoder resolution: %d counts per revolution\n",
               options.address, model.Utf8().c_str(), serial.Utf8().c_str(), firmware.Utf8().c_str(), sampleRate,
               resolution);
  return kDone;
}

namespace {

// The widths of motor memory by the engine's own names: a word and a dword
// are unsigned, an int and a long signed.
struct MemoryWidth {
  std::string_view flag;
  int bytes;
  bool isSigned;
  long long Lowest() const { return isSigned ? -(1LL << (8 * bytes - 1)) : 0; }
  long long Highest() const { return isSigned ? (1LL << (8 * bytes - 1)) - 1 : (1LL << (8 * bytes)) - 1; }
};
constexpr MemoryWidth kWidths[] = {
    {"--byte", 1, false}, {"--word", 2, false}, {"--int", 2, true}, {"--dword", 4, false}, {"--long", 4, true}};
constexpr std::string_view kWidthFlags[] = {"--byte", "--word", "--int", "--dword", "--long"};

HRESULT ReadMemory(IVNXMotor& motor, LONG at, const MemoryWidth& width, long long& value) {
  HRESULT status;
  if (width.bytes == 1) {
    BYTE byte = 0;
    status = motor.GetMotorByte(at, &byte);
    value = byte;
  } else if (width.bytes == 2 && !width.isSigned) {
    USHORT word = 0;
    status = motor.GetMotorWord(at, &word);
    value = word;
  } else if (width.bytes == 2) {
    SHORT integer = 0;
    status = motor.GetMotorInt(at, &integer);
    value = integer;
  } else if (!width.isSigned) {
    ULONG dword = 0;
    status = motor.GetMotorDWord(at, &dword);
    value = dword;
  } else {
    LONG longValue = 0;
    status = motor.GetMotorLong(at, &longValue);
    value = longValue;
  }
  return status;
}

HRESULT WriteMemory(IVNXMotor& motor, LONG at, const MemoryWidth& width, long long value) {
  if (width.bytes == 1) return motor.SetMotorByte(at, static_cast<BYTE>(value));
  if (width.bytes == 2) {
    return width.isSigned ? motor.SetMotorInt(at, static_cast<SHORT>(value))
                          : motor.SetMotorWord(at, static_cast<USHORT>(value));
  }
  return width.isSigned ? motor.SetMotorLong(at, static_cast<LONG>(value))
                        : motor.SetMotorDWord(at, static_cast<ULONG>(value));
}

}  // namespace

int Memory(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err) {
  PortOptions options;
  if (auto problem = ParsePortOptions(arguments, kWidthFlags, options)) return Usage(err, *problem);
  const auto words = WordsOf(options.rest);
  const MemoryWidth* width = &kWidths[4];  // a long unless told otherwise
  int widthsGiven = 0;
  for (const MemoryWidth& candidate : kWidths) {
    if (!Has(options.rest, candidate.flag)) continue;
    width = &candidate;
    ++widthsGiven;
  }
  if (widthsGiven > 1) return Usage(err, "choose one of --byte, --word, --int, --dword and --long");
  if (words.empty() || (words[0] != "read" && words[0] != "write"))
    return Usage(err, "mem takes 'read ADDR' or 'write ADDR VALUE'");
  const bool write = words[0] == "write";
  long long address = 0, value = 0;
  if (words.size() != (write ? 3u : 2u) || !ParseLong(words[1], address) || address < 0 || address > 32767)
    return Usage(err, "mem needs a memory address from 0 to 32767" + std::string(write ? " and a value" : ""));
  if (write && (!ParseLong(words[2], value) || value < width->Lowest() || value > width->Highest())) {
    return Usage(err, "a value for " + std::string(width->flag) + " lies from " + std::to_string(width->Lowest()) +
                          " to " + std::to_string(width->Highest()));
  }

  Session session(out, err);
  if (int status = session.Connect(options)) return status;
  ComPtr<IVNXMotor> motor;
  if (!session.Motor(options, motor)) return kEngineFailure;
  const LONG at = static_cast<LONG>(address);
  if (write) {
    const HRESULT status = WriteMemory(*motor.get(), at, *width, value);
    return FAILED(status) ? session.Failed("writing motor memory", status) : kDone;
  }
  long long read = 0;
  if (HRESULT status = ReadMemory(*motor.get(), at, *width, read); FAILED(status))
    return session.Failed("reading motor memory", status);
  // The hexadecimal form shows the bytes as the memory holds them.
  const unsigned long long bits = static_cast<unsigned long long>(read) & ((1ULL << (8 * width->bytes)) - 1);
  std::fprintf(out, "%lld (0x%0*llX)\n", read, width->bytes * 2, bits);
  return kDone;
}

}  // namespace velkor::client
