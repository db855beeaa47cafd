#pragma once
// The selected motor through the engine's automation objects: the host
// object of its port and the motor object of its address.

#include <optional>
#include <string>

#include "setup/transfer/motor_channel.h"
#include "velkor/automation.h"
#include "velkor/interfaces.h"

namespace velkor::setup {

// The engine's description and code of the thread's last failure, taken
// from the thread's error information.
struct EngineFailure {
  std::string text;  // "<engine message> (engine error N)", or the status
  std::optional<DWORD> code;
};
EngineFailure TakeEngineFailure(HRESULT status);

class EngineChannel : public MotorChannel {
 public:
  // `host` has its port open; the motor object is taken from it.
  EngineChannel(ComPtr<IVNXComm> host, LONG address);
  // With the motor object already taken.
  EngineChannel(ComPtr<IVNXComm> host, ComPtr<IVNXMotor> motor, LONG address)
      : host_(std::move(host)), motor_(std::move(motor)), address_(address) {}
  bool Ready() const { return static_cast<bool>(motor_); }

  bool Write(std::string_view command) override;
  std::optional<std::string> Ask(std::string_view command) override;
  bool HostWrite(std::string_view command) override;
  std::optional<std::string> HostAsk(std::string_view command) override;
  bool ClearBuffer() override;
  bool DownloadProgram(const std::filesystem::path& file) override;
  bool SetDefaultMotor(int address) override;
  int Address() const override { return static_cast<int>(address_); }
  std::string LastFailure() const override { return failure_; }

 private:
  bool Succeeded(HRESULT status);

  ComPtr<IVNXComm> host_;
  ComPtr<IVNXMotor> motor_;
  LONG address_;
  std::string failure_;
};

}  // namespace velkor::setup
