// velkor download, upload and clear: program images to and from a motor,
// with a progress bar; Ctrl-C cancels a download through the notification's
// reply (the motor then holds the empty program).

#include "tools/velkor/transfer_commands.h"

#include <charconv>
#include <optional>
#include <string>
#include <vector>

#include "tools/velkor/progress.h"
#include "tools/velkor/session.h"

namespace velkor::client {
namespace {

// Engine errors after which nothing was loaded.
constexpr DWORD kCannotOpenFile = 34, kFileTooLong = 39, kMotorIsOn = 41, kVersionDiffers = 42;
constexpr LONG kChecksumAnswerTime = 8000;  // ms
// ClearProgram flag: end a load that may still be under way first.
constexpr LONG kEndLoadFirst = 0x200;

int Usage(std::FILE* err, const std::string& problem) {
  std::fprintf(err, "velkor: %s (try 'velkor --help')\n", problem.c_str());
  return kEngineFailure;
}

// The words and flags after the port options: FILE, --flags F and the
// switches named.
struct TransferWords {
  std::vector<std::string> files;
  std::optional<LONG> flags;
  std::vector<std::string> switches;
  bool Has(std::string_view name) const {
    for (const auto& word : switches)
      if (word == name) return true;
    return false;
  }
};

std::optional<std::string> ParseTransferWords(const std::vector<std::string>& rest, TransferWords& words) {
  for (std::size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == "--flags") {
      if (i + 1 >= rest.size()) return "--flags needs a number (0x10, 129, ...)";
      std::string_view text = rest[++i];
      int base = 10;
      if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        base = 16;
      }
      LONG value = 0;
      auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
      if (text.empty() || error != std::errc() || end != text.data() + text.size()) return "--flags needs a number";
      words.flags = value;
    } else if (rest[i].starts_with("--")) {
      words.switches.push_back(rest[i]);
    } else {
      words.files.push_back(rest[i]);
    }
  }
  return std::nullopt;
}

// Everything a transfer verb needs before its call: options parsed, port
// open, the motor found, progress shown.
struct Transfer {
  PortOptions port;
  TransferWords words;
  Session session;
  ComPtr<IVNXMotor> motor;
  Transfer(std::FILE* out, std::FILE* err) : session(out, err) {}
};

// A motor that a broken-off transfer left loading takes every byte as
// program, detection's questions too: this ends such a load on every motor
// of a serial line. Elsewhere it is a stray end marker, which changes
// nothing; the echo of a line without motors may fail it, which matters
// as little.
void EndLoadsInProgress(Session& session) {
  static constexpr char16_t kEnding[] = u"\r\u00FF\u00FF ";
  if (FAILED(session.Host().WriteString(Bstr(std::u16string_view(kEnding)).get()))) TakeEngineFailure(E_FAIL);
}

int Begin(Transfer& transfer, std::span<const std::string_view> arguments,
          std::span<const std::string_view> ownFlags, std::size_t fileCount, const char* usage,
          bool endLoads = false) {
  if (auto problem = ParsePortOptions(arguments, ownFlags, transfer.port)) {
    return Usage(transfer.session.err(), *problem);
  }
  if (auto problem = ParseTransferWords(transfer.port.rest, transfer.words)) {
    return Usage(transfer.session.err(), *problem);
  }
  if (transfer.words.files.size() != fileCount) return Usage(transfer.session.err(), usage);
  if (int status = transfer.session.Connect(transfer.port)) return status;
  if (endLoads && !transfer.port.net && !transfer.port.usb) EndLoadsInProgress(transfer.session);
  if (!transfer.session.Motor(transfer.port, transfer.motor)) return kEngineFailure;
  return kDone;
}

// After a download that did not finish: what the motor holds, as its own
// checksum answer tells, and what to do when it does not answer.
void ReportProgram(Transfer& transfer) {
  if (transfer.port.address == 0) return;  // every motor: no one answer tells
  std::FILE* err = transfer.session.err();
  const long address = static_cast<long>(transfer.port.address);
  IVNXComm& host = transfer.session.Host();
  LONG timeout = 0;
  host.get_Timeout(&timeout);
  host.put_Timeout(kChecksumAnswerTime);  // the motor sums its whole program first
  Bstr answer;
  const HRESULT status = transfer.motor->GetResponseOf(Bstr(std::string_view("RCKS")).get(), answer.Out());
  host.put_Timeout(timeout);
  const std::string text = SUCCEEDED(status) ? answer.Utf8() : "";
  if (FAILED(status)) TakeEngineFailure(status);
  // The empty program: "END" LF, or "END" LF LF as the host-level clear writes it.
  // Told by the body's checksum, characters 8 to 13; the first field is
  // the label checksum, 0 for a program without labels.
  const bool empty = text.size() == 15 && (text.substr(7, 6) == "0000E1" || text.substr(7, 6) == "0000EB");
  if (text.size() == 15 && text.ends_with(" P") && empty) {
    std::fprintf(err, "velkor: motor %ld holds the empty program\n", address);
  } else if (text.size() == 15 && text.ends_with(" P")) {
    std::fprintf(err, "velkor: motor %ld holds a program that passes its checksum (%s)\n", address, text.c_str());
  } else if (text.size() == 15 && text.ends_with(" F")) {
    std::fprintf(err, "velkor: motor %ld holds a program that fails its checksum and will not run (%s)\n", address,
                 text.c_str());
  } else {
    std::fprintf(err,
                 "velkor: motor %ld does not answer: it may still be loading; 'velkor clear' with the same\n"
                 "        port and address ends the load and gives it the empty program\n",
                 address);
  }
}

// The progress bar lives for one call and is unhooked afterwards.
template <class Call>
HRESULT WithProgress(Transfer& transfer, Call&& call) {
  ProgressBar bar(transfer.session.err(), {{1, "downloading"}, {4, "uploading"}});
  NotificationWindow window = WindowFor(bar);
  IVNXComm& host = transfer.session.Host();
  host.InitializeNotification(window.Handle(), kProgressMessage);
  InterruptAsCancel cancelOnCtrlC;
  const HRESULT status = call();
  host.InitializeNotification(0, 0);
  bar.Finish(SUCCEEDED(status) && !InterruptAsCancel::Interrupted());
  return status;
}

bool WriteBytes(const std::string& file, BSTR program, std::FILE* out) {
  std::string bytes;
  for (char16_t unit : BstrView(program)) bytes += static_cast<char>(unit);
  if (file == "-") return std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  std::FILE* target = std::fopen(file.c_str(), "wb");
  if (!target) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), target) == bytes.size();
  return std::fclose(target) == 0 && written;
}

}  // namespace

int Download(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err) {
  constexpr std::string_view ownFlags[] = {"--flags", "--host-level"};
  Transfer transfer(out, err);
  if (int status = Begin(transfer, arguments, ownFlags, 1,
                         "download takes one image file: velkor download --port P --address N IMAGE")) {
    return status;
  }
  const std::string& image = transfer.words.files.front();
  const Bstr file(image);
  LONG result = 1;
  HRESULT status;
  if (transfer.words.Has("--host-level")) {
    status = WithProgress(transfer, [&] { return transfer.session.Host().Download(transfer.port.address, file.get()); });
    if (SUCCEEDED(status) && InterruptAsCancel::Interrupted()) result = 0;
  } else {
    status = WithProgress(transfer,
                          [&] { return transfer.motor->DownloadEx(file.get(), transfer.words.flags.value_or(0), &result); });
  }
  static constexpr Session::Hint kRefusals[] = {
      {41, "add --flags 0x01 to switch the motor off before the download"},
      {42, "motors whose firmware begins with 46 take compiled programs (.scx images), which\n"
           "        'velkor compile' does not write; its .vqx images suit the other motors"}};
  if (FAILED(status)) {
    const EngineFailure failure = TakeEngineFailure(status);
    transfer.session.Failed("downloading " + image, failure, kRefusals);
    // Refused before anything was loaded, the motor keeps its program.
    if (failure.code != kMotorIsOn && failure.code != kVersionDiffers && failure.code != kCannotOpenFile &&
        failure.code != kFileTooLong)
      ReportProgram(transfer);
    return kEngineFailure;
  }
  if (result == 0) {
    std::fprintf(err, "velkor: %s was not downloaded (cancelled, or a failure that --flags 0x10 let pass)\n",
                 image.c_str());
    ReportProgram(transfer);
    return kEngineFailure;
  }
  std::fprintf(out, "downloaded %s to motor %ld\n", image.c_str(), static_cast<long>(transfer.port.address));
  return kDone;
}

int Upload(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err) {
  constexpr std::string_view ownFlags[] = {"--compiled", "--raw"};
  Transfer transfer(out, err);
  if (int status = Begin(transfer, arguments, ownFlags, 1,
                         "upload takes one target file: velkor upload --port P --address N FILE")) {
    return status;
  }
  const std::string& target = transfer.words.files.front();
  const bool compiled = transfer.words.Has("--compiled");
  const bool raw = transfer.words.Has("--raw");
  HRESULT status;
  if (!compiled && !raw && target != "-") {
    // The engine writes the file; a ".vqc" name takes the compiled program.
    const Bstr file(target);
    status = WithProgress(transfer, [&] { return transfer.motor->UploadEx(file.get()); });
    if (FAILED(status)) return transfer.session.Failed("uploading to " + target, status);
  } else {
    Bstr program;
    status = WithProgress(transfer, [&] {
      return raw ? transfer.motor->UpProgramStr(compiled ? 1 : 0, program.Out())
                 : transfer.motor->UploadProgramStr(compiled ? 1 : 0, program.Out());
    });
    if (FAILED(status)) return transfer.session.Failed("uploading", status);
    if (!WriteBytes(target, program.get(), out)) {
      std::fprintf(err, "velkor: cannot write %s\n", target.c_str());
      return kEngineFailure;
    }
  }
  if (target != "-") std::fprintf(out, "uploaded motor %ld to %s\n", static_cast<long>(transfer.port.address), target.c_str());
  return kDone;
}

int Clear(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err) {
  constexpr std::string_view ownFlags[] = {"--flags"};
  Transfer transfer(out, err);
  if (int status = Begin(transfer, arguments, ownFlags, 0, "clear takes no file: velkor clear --port P --address N",
                         true)) {
    return status;
  }
  const HRESULT status = WithProgress(
      transfer, [&] { return transfer.motor->ClearProgram(transfer.words.flags.value_or(0) | kEndLoadFirst); });
  if (FAILED(status)) return transfer.session.Failed("clearing the program", status);
  std::fprintf(out, "motor %ld holds the empty program\n", static_cast<long>(transfer.port.address));
  return kDone;
}

}  // namespace velkor::client
