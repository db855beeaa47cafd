#include "sim/firmware/load.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace velkor::sim {

Load::Load(Mechanics mechanics) : mechanics_(std::move(mechanics)) {
  // Stops that leave out the power-up position put the shaft at the nearer one.
  MoveTo(0);
  index_seen_ = false;
}

void Load::MoveTo(double position) {
  double wanted = position - offset_;
  double reached = wanted;
  if (const auto& stops = mechanics_.hardStops) {
    reached = std::clamp(wanted, static_cast<double>(stops->low), static_cast<double>(stops->high));
  }
  blocked_ = reached != wanted;
  if (reached != physical_) PassIndex(physical_, reached);
  physical_ = reached;
}

bool Load::Tripped(const LimitSwitch& limit) const {
  return limit.direction > 0 ? physical_ >= limit.position : physical_ <= limit.position;
}

std::uint8_t Load::ActiveInputs() const {
  std::uint8_t active = 0;
  for (const LimitSwitch& limit : mechanics_.limitSwitches) {
    if (limit.input >= 'A' && limit.input <= 'G' && Tripped(limit)) {
      active = static_cast<std::uint8_t>(active | (1u << (limit.input - 'A')));
    }
  }
  return active;
}

bool Load::LimitActive(int direction) const {
  return std::any_of(mechanics_.limitSwitches.begin(), mechanics_.limitSwitches.end(),
                     [&](const LimitSwitch& limit) { return limit.direction == direction && Tripped(limit); });
}

void Load::PassIndex(double from, double to) {
  const double spacing = mechanics_.indexSpacing;
  if (spacing <= 0 || index_seen_) return;
  // The first pulse on the way: starting on one (give or take rounding)
  // does not count, arriving does.
  constexpr double kOn = 1e-6;
  const double pulse = to > from ? (std::floor((from + kOn) / spacing) + 1) * spacing
                                 : (std::ceil((from - kOn) / spacing) - 1) * spacing;
  if (to > from ? pulse <= to : pulse >= to) {
    index_seen_ = true;
    index_position_ = static_cast<std::int32_t>(std::lround(pulse + offset_));
  }
}

}  // namespace velkor::sim
