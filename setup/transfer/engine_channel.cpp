#include "setup/transfer/engine_channel.h"

#include <cstdio>

namespace velkor::setup {

EngineChannel::EngineChannel(ComPtr<IVNXComm> host, LONG address) : host_(std::move(host)), address_(address) {
  if (host_) Succeeded(host_->GetMotor(address_, motor_.Out()));
}

EngineFailure TakeEngineFailure(HRESULT status) {
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.Out()) == S_OK && info) {
    Bstr description;
    DWORD context = 0;
    info->GetDescription(description.Out());
    info->GetHelpContext(&context);
    return {description.Utf8() + " (engine error " + std::to_string(context & 0xFFFF) + ")", context & 0xFFFF};
  }
  char text[48];
  std::snprintf(text, sizeof text, "status 0x%08X", static_cast<unsigned>(status));
  return {text, std::nullopt};
}

bool EngineChannel::Succeeded(HRESULT status) {
  if (SUCCEEDED(status)) return true;
  // The engine's own words, as its error information carries them.
  failure_ = TakeEngineFailure(status).text;
  return false;
}

bool EngineChannel::Write(std::string_view command) {
  return motor_ && Succeeded(motor_->WriteCommand(Bstr(command).get()));
}

std::optional<std::string> EngineChannel::Ask(std::string_view command) {
  Bstr answer;
  if (!motor_ || !Succeeded(motor_->GetResponseOf(Bstr(command).get(), answer.Out()))) return std::nullopt;
  return answer.Utf8();
}

bool EngineChannel::HostWrite(std::string_view command) { return Succeeded(host_->WriteCmd(Bstr(command).get())); }

std::optional<std::string> EngineChannel::HostAsk(std::string_view command) {
  Bstr answer;
  if (!Succeeded(host_->GetResponseOf(Bstr(command).get(), answer.Out()))) return std::nullopt;
  return answer.Utf8();
}

bool EngineChannel::ClearBuffer() { return Succeeded(host_->ClearBuffer()); }

bool EngineChannel::DownloadProgram(const std::filesystem::path& file) {
  return Succeeded(host_->Download(address_, Bstr(file.string()).get()));
}

bool EngineChannel::SetDefaultMotor(int address) {
  return host_ && Succeeded(host_->put_DefaultMotor(static_cast<LONG>(address)));
}

}  // namespace velkor::setup
