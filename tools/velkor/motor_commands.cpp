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
  if (FAILED(status)) return session.Failed("sending '" + words.front() + "'", status);
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

int Memory(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err) {
  constexpr std::string_view ownFlags[] = {"--byte", "--word", "--long"};
  PortOptions options;
  if (auto problem = ParsePortOptions(arguments, ownFlags, options)) return Usage(err, *problem);
  const auto words = WordsOf(options.rest);
  const int width = Has(options.rest, "--byte") ? 1 : Has(options.rest, "--word") ? 2 : 4;
  if (words.empty() || (words[0] != "read" && words[0] != "write"))
    return Usage(err, "mem takes 'read ADDR' or 'write ADDR VALUE'");
  const bool write = words[0] == "write";
  long long address = 0, value = 0;
  if (words.size() != (write ? 3u : 2u) || !ParseLong(words[1], address) || address < 0 || address > 32767)
    return Usage(err, "mem needs a memory address from 0 to 32767" + std::string(write ? " and a value" : ""));
  if (write) {
    const long long lowest = width == 4 ? INT32_MIN : width == 2 ? INT16_MIN : 0;
    const long long highest = width == 4 ? UINT32_MAX : width == 2 ? UINT16_MAX : UINT8_MAX;
    if (!ParseLong(words[2], value) || value < lowest || value > highest)
      return Usage(err, "the value does not fit in " + std::to_string(width) + " byte(s)");
  }

  Session session(out, err);
  if (int status = session.Connect(options)) return status;
  ComPtr<IVNXMotor> motor;
  if (!session.Motor(options, motor)) return kEngineFailure;
  const LONG at = static_cast<LONG>(address);
  HRESULT status;
  if (write) {
    if (width == 1) status = motor->SetMotorByte(at, static_cast<BYTE>(value));
    else if (width == 2) status = motor->SetMotorWord(at, static_cast<USHORT>(value));
    else status = motor->SetMotorDWord(at, static_cast<ULONG>(value));
    return FAILED(status) ? session.Failed("writing motor memory", status) : kDone;
  }
  unsigned long long read = 0;
  if (width == 1) {
    BYTE byte = 0;
    status = motor->GetMotorByte(at, &byte);
    read = byte;
  } else if (width == 2) {
    USHORT word = 0;
    status = motor->GetMotorWord(at, &word);
    read = word;
  } else {
    ULONG dword = 0;
    status = motor->GetMotorDWord(at, &dword);
    read = dword;
  }
  if (FAILED(status)) return session.Failed("reading motor memory", status);
  std::fprintf(out, "%llu (0x%0*llX)\n", read, width * 2, read);
  return kDone;
}

}  // namespace velkor::client
