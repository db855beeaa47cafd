#pragma once
// Program transfers addressed by motor number on a serial link, with the
// echo-checked writer: no version check, no verification, no record.

#include <cstdint>
#include <filesystem>

#include "engine/link/host_link.h"

namespace velkor::engine::transfer {

// Motor 0 loads every motor of the link (1 .. motorCount). A cancel is no
// failure; a failure leaves the empty program in the motor.
void HostDownload(HostLink& link, std::int32_t motorCount, std::int32_t motor, const std::filesystem::path& file);
// With `forced`, a program whose checksum failed is uploaded too.
void HostUpload(HostLink& link, std::int32_t motor, const std::filesystem::path& file, bool forced);
void HostClearEeprom(HostLink& link, std::int32_t motor);
// True when the motor keeps programs; may leave a probe program behind.
bool ProbeEepromHost(HostLink& link, std::int32_t motor);

}  // namespace velkor::engine::transfer
