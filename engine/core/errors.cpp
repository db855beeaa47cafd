#include "engine/core/errors.h"

#include <cstdio>

namespace velkor::engine {

std::string_view ErrorMessageFormat(std::uint32_t code) {
  switch (code) {
#define VELKOR_ERROR_CASE(number, name, message) \
  case number: return message;
    VELKOR_ENGINE_ERRORS(VELKOR_ERROR_CASE)
#undef VELKOR_ERROR_CASE
    default: return {};
  }
}

namespace {
std::string Format(std::string_view format, std::uint32_t param) {
  const std::size_t at = format.find("%d");
  if (at == std::string_view::npos) return std::string(format);
  // The parameter is an address or a system error number: shown signed, as
  // the "%d" of the table says.
  char number[16];
  std::snprintf(number, sizeof number, "%d", static_cast<int>(param));
  return std::string(format.substr(0, at)) + number + std::string(format.substr(at + 2));
}
}  // namespace

CVNXException::CVNXException(std::uint32_t code, std::optional<std::string> text, std::uint32_t param)
    : message_(text ? std::move(*text) : Format(ErrorMessageFormat(code), param)), code_(code), param_(param) {}

std::optional<ErrorCode> LineErrorCode(const LineErrorFlags& flags) {
  if (flags.framing) return ErrorCode::Framing;
  if (flags.parity) return ErrorCode::Parity;
  if (flags.overrun) return ErrorCode::Overrun;
  if (flags.breakCondition) return ErrorCode::Break;
  if (flags.receiveOverflow) return ErrorCode::InputOverflow;
  if (flags.ioError) return ErrorCode::IoError;
  if (flags.outputFull) return ErrorCode::OutputOverflow;
  if (flags.other) return ErrorCode::UnknownCommError;
  return std::nullopt;
}

}  // namespace velkor::engine
