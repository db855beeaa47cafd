#pragma once
// The engine's one exception type and its numbered code table.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velkor::engine {

// ERROR(code, name, message); "%d" in a message stands for the parameter.
#define VELKOR_ENGINE_ERRORS(ERROR)                                                              \
  ERROR(0, NoError, "No Error!")                                                                 \
  ERROR(1, EngineException, "A C/C++ exception occurred in the Engine!")                         \
  ERROR(2, CannotOpenPort, "Cannot open serial port!")                                           \
  ERROR(3, CannotSetTimeout, "Cannot set timeout for serial port!")                              \
  ERROR(4, NoLink, "Cannot establish a link to Motors!")                                         \
  ERROR(5, NoResponse, "No response received!")                                                  \
  ERROR(6, NoEcho, "No echo response received!")                                                 \
  ERROR(7, InvalidEcho, "Invalid echo response received!")                                       \
  ERROR(8, PortNotOpen, "The serial port in not open!")                                          \
  ERROR(9, Overrun, "A character-buffer overrun was detected!")                                  \
  ERROR(10, InputOverflow, "An input buffer overflow has occurred!")                             \
  ERROR(11, Parity, "The hardware detected a parity error!")                                     \
  ERROR(12, Framing, "The hardware detected a framing error!")                                   \
  ERROR(13, Break, "The hardware detected a break condition!")                                   \
  ERROR(14, IoError, "An I/O error occurred!")                                                   \
  ERROR(15, OutputOverflow, "Output buffer overflowed!")                                         \
  ERROR(16, UnknownCommError, "An unknown communication Error occurred!")                        \
  ERROR(17, ReadError, "Error reading from serial port!")                                        \
  ERROR(18, WriteError, "Error(%d) writing to serial port!")                                     \
  ERROR(19, InvalidData, "Invalid Data!")                                                        \
  ERROR(20, InvalidTimeDelta, "Invalid Time Delta!")                                             \
  ERROR(21, MotorInvalidTimeDelta, "Motor(%d):Invalid Time Delta!")                              \
  ERROR(22, MotorInvalidPosDelta, "Motor(%d):Invalid Pos. Delta!")                               \
  ERROR(23, MotorInvalidDataSpace, "Motor(%d):Invalid data space!")                              \
  ERROR(24, MotorBufferOverflow, "Motor(%d):Buffer overflow!")                                   \
  ERROR(25, MotorBufferUnderflow, "Motor(%d):Buffer underflow!")                                 \
  ERROR(26, MotorHostModeFailed, "Motor(%d):Host Mode failed!")                                  \
  ERROR(27, MotorCannotGetStatus, "Motor(%d):Cannot get status!")                                \
  ERROR(28, DifferentSampleRates, "The motors have different sample rates!")                     \
  ERROR(29, MotorHostModeNotSupported, "Motor(%d):Host Mode not supported!")                     \
  ERROR(30, HostModeNotInitialized, "Host Mode not initialized!")                                \
  ERROR(31, OutOfMemory, "Out of memory!")                                                       \
  ERROR(32, MoreThanOneMotor, "Cannot get data from more than one motor!")                       \
  ERROR(33, NoMoreErrors, "No more errors/warnings!")                                            \
  ERROR(34, CannotOpenFile, "Can not open the file specified!")                                  \
  ERROR(35, CannotWriteFile, "Can not open the file to write!")                                  \
  ERROR(36, NoEeprom, "The motor has no EEPROM!")                                                \
  ERROR(37, InvalidMode, "Invalid operation Mode!")                                              \
  ERROR(39, FileTooLong, "File too long!")                                                       \
  ERROR(40, CorruptProgram, "The program in the EEPROM is Corrupted!")                           \
  ERROR(41, MotorIsOn, "Cannot download programs while motor is on!")                            \
  ERROR(42, MajorVersionDiffers, "File version has a major difference with motor version!")      \
  ERROR(43, NetworkCommunication, "Error communicating over the Network!")                       \
  ERROR(44, DownloadFailed, "The program was NOT downloaded successfully!")                      \
  ERROR(45, NetworkError, "A network error occurred!")                                           \
  ERROR(46, NoUsbMotor, "Cannot communicate with any USB motor!")

enum class ErrorCode : std::uint32_t {
#define VELKOR_ERROR_ENUMERATOR(code, name, message) name = code,
  VELKOR_ENGINE_ERRORS(VELKOR_ERROR_ENUMERATOR)
#undef VELKOR_ERROR_ENUMERATOR
};

// The table's text for a code, unformatted; empty for a code without a row.
std::string_view ErrorMessageFormat(std::uint32_t code);

class CVNXException {
 public:
  // Without text the message comes from the table, "%d" replaced by param.
  CVNXException(std::uint32_t code, std::optional<std::string> text = std::nullopt, std::uint32_t param = 0);
  CVNXException(ErrorCode code, std::uint32_t param = 0) : CVNXException(static_cast<std::uint32_t>(code), std::nullopt, param) {}

  const std::string& Message() const { return message_; }
  std::uint32_t Code() const { return code_; }
  std::uint32_t Param() const { return param_; }

 private:
  std::string message_;
  std::uint32_t code_;
  std::uint32_t param_;
};

// The serial driver's error report, as far as the codes tell errors apart.
struct LineErrorFlags {
  bool framing = false;
  bool parity = false;
  bool overrun = false;
  bool breakCondition = false;
  bool receiveOverflow = false;
  bool ioError = false;
  bool outputFull = false;
  bool other = false;
};

// The code of the first error that is set, in the order the driver's flags
// are tested; nullopt when the line is clean.
std::optional<ErrorCode> LineErrorCode(const LineErrorFlags& flags);

}  // namespace velkor::engine
