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

int Begin(Transfer& transfer, std::span<const std::string_view> arguments,
          std::span<const std::string_view> ownFlags, std::size_t fileCount, const char* usage) {
  if (auto problem = ParsePortOptions(arguments, ownFlags, transfer.port)) {
    return Usage(transfer.session.err(), *problem);
  }
  if (auto problem = ParseTransferWords(transfer.port.rest, transfer.words)) {
    return Usage(transfer.session.err(), *problem);
  }
  if (transfer.words.files.size() != fileCount) return Usage(transfer.session.err(), usage);
  if (int status = transfer.session.Connect(transfer.port)) return status;
  if (!transfer.session.Motor(transfer.port, transfer.motor)) return kEngineFailure;
  return kDone;
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
  if (FAILED(status)) return transfer.session.Failed("downloading " + image, status, kRefusals);
  if (result == 0) {
    std::fprintf(err, "velkor: %s was not downloaded (cancelled, or a failure that --flags 0x10 let pass); "
                      "the motor holds the empty program\n", image.c_str());
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
  if (int status = Begin(transfer, arguments, ownFlags, 0, "clear takes no file: velkor clear --port P --address N")) {
    return status;
  }
  const HRESULT status =
      WithProgress(transfer, [&] { return transfer.motor->ClearProgram(transfer.words.flags.value_or(0)); });
  if (FAILED(status)) return transfer.session.Failed("clearing the program", status);
  std::fprintf(out, "motor %ld holds the empty program\n", static_cast<long>(transfer.port.address));
  return kDone;
}

}  // namespace velkor::client
