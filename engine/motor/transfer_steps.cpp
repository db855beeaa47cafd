#include "engine/motor/transfer_steps.h"

#include <chrono>
#include <string>
#include <thread>

namespace velkor::engine::transfer {
namespace {

constexpr auto kSettleTime = std::chrono::milliseconds(50);

std::string LoadEnding(std::string_view ending) { return "\r" + std::string(ending); }

}  // namespace

void EndLoad(HostLink& link, std::string_view ending) {
  const std::string bytes = LoadEnding(ending);
  link.WriteRaw(bytes);
  if (link.IsSerial()) {
    // Their echo, as far as it comes, tells that the motors have the bytes
    // before anything else is sent; without echo, three character times each.
    if (link.settings.echo) {
      Quietly([&] { link.ReadBytes(bytes.size(), -1); });
    } else {
      const auto characters = static_cast<std::int32_t>(bytes.size());
      std::this_thread::sleep_for(std::chrono::milliseconds(2 * link.CharDelay() * characters));
    }
    link.ForgetSelection();
  }
  std::this_thread::sleep_for(kSettleTime);
  Quietly([&] { link.ClearBuffer(); });
}

void EndMotorLoad(MotorRecord& motor, std::string_view ending) {
  auto link = motor.Link();
  if (!link->HasMotorConnections()) return EndLoad(*link, ending);
  // These links echo nothing: the bytes go to the motor's own connection.
  motor.MotorWriteBytes(LoadEnding(ending));
  std::this_thread::sleep_for(kSettleTime);
  Quietly([&] { motor.MotorClearBuffer(); });
}

CVNXException StillLoading(const CVNXException& failure) {
  return CVNXException(failure.Code(),
                       failure.Message() + " The clean-up failed too: the motor may still be loading a program. "
                                           "Clear its program before anything else.",
                       failure.Param());
}

}  // namespace velkor::engine::transfer
