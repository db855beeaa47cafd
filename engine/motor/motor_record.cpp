#include "engine/motor/motor_record.h"

#include <cstdlib>

#include "engine/core/errors.h"
#include "engine/motor/answer_number.h"

namespace velkor::engine {

std::shared_ptr<HostLink> MotorRecord::Link() const {
  auto link = link_.lock();
  if (!link) throw CVNXException(ErrorCode::InvalidData);
  return link;
}

std::shared_ptr<HostLink> MotorRecord::SerialLink() const {
  auto link = Link();
  if (link->settings.linkType == LinkType::Ethernet || link->settings.linkType == LinkType::USB)
    throw CVNXException(ErrorCode::PortNotOpen);
  return link;
}

MotorRecord::Addressing MotorRecord::AddressingOn(const HostLink& link) const {
  if (link.CurrentAddress() == address) return {kKeepAddress, true};
  return {address, false};
}

void MotorRecord::MotorSendCommand(std::string_view text) {
  auto link = SerialLink();
  auto [to, select] = AddressingOn(*link);
  link->SendCommand(text, to, select);
}

std::string MotorRecord::MotorGetResponse(std::string_view text) {
  auto link = SerialLink();
  auto [to, select] = AddressingOn(*link);
  try {
    return link->SendCommandGetResponse(text, to, select);
  } catch (const CVNXException& failure) {
    if (failure.Code() != static_cast<std::uint32_t>(ErrorCode::NoResponse)) throw;
    throw CVNXException(ErrorCode::NoResponse, static_cast<std::uint32_t>(address));
  }
}

void MotorRecord::MotorWriteBytes(std::string_view bytes) { SerialLink()->WriteChunked(bytes); }

std::string MotorRecord::MotorReadLine(std::size_t max, std::int32_t timeout) {
  return SerialLink()->ReadLine(max, timeout);
}

std::string MotorRecord::MotorReadBytes(std::size_t max, std::int32_t timeout) {
  return SerialLink()->ReadBytes(max, timeout);
}

bool MotorRecord::MotorIsOpen() const {
  auto link = link_.lock();
  if (!link) return false;
  if (link->settings.linkType == LinkType::Ethernet || link->settings.linkType == LinkType::USB) return false;
  return link->IsOpen();
}

std::string MotorRecord::Ask(std::string_view text) {
  auto link = SerialLink();
  auto [to, select] = AddressingOn(*link);
  return link->SendCommandGetResponse(text, to, select);
}

void MotorRecord::SendUnaddressed(std::string_view text) { SerialLink()->SendCommand(text, kKeepAddress, false); }

std::string MotorRecord::AskUnaddressed(std::string_view text) {
  return SerialLink()->SendCommandGetResponse(text, kKeepAddress, false);
}

void MotorRecord::ReadVersion() {
  firmwareVersion.clear();
  sampleRate = 0.0;
  auto link = Link();
  if (!link->IsOpen()) link->Open();
  SamplePeriodAnswer parsed = ParseSamplePeriodAnswer(MotorGetResponse("RSP"));
  if (!parsed.hadSlash) return;
  firmwareVersion = std::string(TrimBlanks(parsed.version));
  sampleRate = parsed.sampleRate;
}

SamplePeriodAnswer ParseSamplePeriodAnswer(std::string_view answer) {
  SamplePeriodAnswer parsed;
  std::size_t slash = answer.find('/');
  parsed.hadSlash = slash != std::string_view::npos;
  parsed.version = std::string(parsed.hadSlash ? answer.substr(slash + 1) : answer);
  const std::string period(TrimBlanks(answer.substr(0, slash)));
  const double tens = std::strtod(period.c_str(), nullptr);
  if (tens > 0.0) parsed.sampleRate = 100000000.0 / tens;
  return parsed;
}

}  // namespace velkor::engine
