#pragma once
// The host link: the one link object of a host, through which every byte to
// or from the motors passes. Every other part of the engine talks to motors
// only through these primitives; failures are CVNXException with the engine's
// codes (2 open, 3 time-outs, 5 no answer, 6/7 echo, 8 not open, 9-16 line
// errors, 17 read, 18 write, 19 bad argument).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/link/motor_connections.h"
#include "platform/serial/serial_port.h"

namespace velkor::engine {

enum class LinkType : std::int32_t { RS232 = 1, RS485 = 2, Ethernet = 6, USB = 9 };

// The longest command text, and the size of an answer line with its end.
inline constexpr std::size_t kMaxCommandLength = 255;
inline constexpr std::size_t kAnswerSize = 256;

// An address argument: -1 = no address byte (keep the selection), and for
// SendCommandGetResponse -2 = no address byte and no scanning of digits.
inline constexpr std::int32_t kKeepAddress = -1;
inline constexpr std::int32_t kRawText = -2;

// Where a network link looks for its motors. The defaults are the adapters'
// own; tests and other networks configure them in the registry.
struct NetSettings {
  std::string broadcastAddress = "255.255.255.255";
  std::uint16_t discoveryPort = 30718;       // where the query goes
  std::uint16_t discoveryLocalPort = 30718;  // where the replies come back; 0: one the system picks
  std::uint16_t motorPort = 10001;           // TCP port of every motor's adapter
};

struct LinkSettings {
  std::string portName = "Com1";
  std::int32_t baudRate = 9600;
  std::int32_t chainBaudRate = 9600;  // the rate chain set-up brings the motors back to
  std::uint8_t parity = 0;            // enum_parity
  std::uint8_t dataBits = 8;
  std::uint8_t stopBits = 0;  // 0 one, 1 one and a half, 2 two
  bool echo = true;
  std::int32_t timeout = 400;  // ms per answer character
  std::int32_t maxMotors = 10;
  std::int32_t rs485Channel = 0;  // 1: commands take the "1" forms
  LinkType linkType = LinkType::RS232;

  std::int32_t txMaxRetry = 1;
  std::int32_t txTimeoutMul = -1;  // -1: computed
  std::int32_t txTimeoutConst = -1;
  std::int32_t echoTimeoutMul = -1;
  std::int32_t echoTimeoutConst = 100;

  std::int32_t notificationWindow = 0;  // 0: notifications off
  std::uint32_t notificationMessage = 0;

  NetSettings net;
};

class HostLink {
 public:
  LinkSettings settings;

  // Opening and line control.
  void Open();
  void Close();
  void Reopen(std::int32_t baud, std::int32_t parity);  // baud used if > 0, parity if >= 0
  bool ApplyLineSettings();
  void SetPortTimeouts(std::int32_t timeout);  // ms, 0 (return at once) or -1 (echo reads)
  // The port on a serial link; any motor connection on a network or USB link.
  bool IsOpen() const;
  bool IsSerial() const { return settings.linkType == LinkType::RS232 || settings.linkType == LinkType::RS485; }
  bool IsNetwork() const { return settings.linkType == LinkType::Ethernet; }
  bool IsUsb() const { return settings.linkType == LinkType::USB; }
  // Network and USB links: every motor has a connection of its own.
  bool HasMotorConnections() const { return IsNetwork() || IsUsb(); }
  // The motors' connections on a network or USB link; null (no motors) or a view
  // that outlives its use here. The host sets it to its motor list.
  void UseMotorConnections(const MotorConnections* motors) { motors_ = motors; }
  // On a serial link a closed port is error 8; the other links check the
  // motors' own connections.
  void RequireOpenSerial() const;
  const serial::Timeouts& PortTimeouts() const { return port_.GetTimeouts(); }
  std::int32_t PortHandle() const;  // all bits set when closed

  // Commands and answers.
  void SendCommand(std::string_view text, std::int32_t address, bool select);
  std::string SendCommandGetResponse(std::string_view text, std::int32_t address, bool select);
  // The common core: with an answer size, reads a line (lineMode) or raw bytes.
  std::string Exchange(std::int32_t address, std::string_view data, bool asCommand,
                       std::optional<std::size_t> answerSize = std::nullopt, bool lineMode = true);
  void WriteChunked(std::string_view bytes);
  void WriteRaw(std::string_view bytes);
  std::string ReadBytes(std::size_t max, std::int32_t timeout);
  std::string ReadLine(std::size_t max, std::int32_t timeout);
  // Gathers waiting bytes; true with `line` set when a CR-ended line is complete.
  bool ReadLineNonBlocking(std::string& line);
  void ClearBuffer();
  std::int32_t BytesAvailable();

  // Addressing and the motors' line settings.
  void SelectMotor(std::int32_t address);
  void SetEcho(bool on);
  void ChangeBaud(std::int32_t baud);
  std::int32_t CharDelay() const;  // one character time x 1.5, rounded up, ms

  std::int32_t CurrentAddress() const { return currentAddress_; }
  bool AddressDirty() const { return addressDirty_; }
  void SetCurrentAddress(std::int32_t address) { currentAddress_ = address; }
  // Raw bytes may have selected another motor: the next selecting command
  // sends its address byte again.
  void ForgetSelection() { addressDirty_ = true; }

  // How many motors answer on this link; set by chain set-up. SetEcho uses it
  // to bound its retries.
  std::int32_t motorCount = 0;

  // Sends the registered notification; the window's answer (0 = cancel).
  // Without a window, and while a clean-up runs, the answer is 1.
  std::intptr_t Notify(std::uint32_t code, std::intptr_t value) const;

  // While one lives the client cannot cancel: a clean-up after a cancel or
  // a failure runs to its end, or a chain could be left asleep or loading.
  class Uncancellable {
   public:
    explicit Uncancellable(HostLink& link) : link_(link) { ++link_.uncancellable_; }
    ~Uncancellable() { --link_.uncancellable_; }
    Uncancellable(const Uncancellable&) = delete;
    Uncancellable& operator=(const Uncancellable&) = delete;

   private:
    HostLink& link_;
  };

 private:
  std::int32_t AddressToUse(std::int32_t address, bool select);
  void WriteOnce(const std::uint8_t* bytes, std::size_t count, bool chunked);
  void CheckEcho(std::string_view sent);
  void ThrowLineError();
  void RequireOpen() const;

  // The network side (net_exchange.cpp).
  void OpenNetwork();
  void CloseNetwork();
  std::vector<NetConnection*> OpenConnections() const;
  // The open connection of the motor at an address: 19 without such a
  // motor, 8 when its connection is not open.
  NetConnection& ConnectionOf(std::int32_t address) const;
  std::string NetExchange(std::int32_t address, std::string_view data, bool asCommand,
                          std::optional<std::size_t> answerSize, bool lineMode);
  // Pieces of at most 8 bytes to the motor at CurrentAddress, or to every
  // open connection when it is 0.
  void NetWrite(std::string_view bytes);
  std::string NetReadBytes(std::size_t max, std::int32_t timeout);
  std::string NetReadLine(std::size_t max, std::int32_t timeout);
  void NetClearBuffer();
  std::int32_t NetBytesAvailable() const;

  // The USB side (usb_exchange.cpp), as the network side with the motors'
  // USB adapters.
  void OpenUsb();
  void CloseUsb();
  std::vector<UsbPort*> OpenUsbPorts() const;
  UsbPort& UsbPortOf(std::int32_t address) const;
  std::string UsbExchange(std::int32_t address, std::string_view data, bool asCommand,
                          std::optional<std::size_t> answerSize, bool lineMode);
  void UsbWrite(std::string_view bytes);
  std::string UsbReadBytes(std::size_t max, std::int32_t timeout);
  std::string UsbReadLine(std::size_t max, std::int32_t timeout);
  void UsbClearBuffer();
  std::int32_t UsbBytesAvailable() const;

  serial::SerialPort port_;
  const MotorConnections* motors_ = nullptr;
  std::int32_t currentAddress_ = 1;
  bool addressDirty_ = true;
  std::int32_t uncancellable_ = 0;
  std::string lineBuffer_;  // partial text kept by ReadLineNonBlocking
};

// Cuts a command text as the engine does before sending: at most 255
// characters, up to the first CR or LF; with `scanAddress`, leading decimal
// digits are taken as the address and removed.
struct PreparedCommand {
  std::string text;
  std::optional<std::int32_t> address;
};
PreparedCommand PrepareCommand(std::string_view text, bool scanAddress);

}  // namespace velkor::engine
