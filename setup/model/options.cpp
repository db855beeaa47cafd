#include "setup/model/options.h"

#include <array>
#include <utility>

namespace velkor::setup {

OptionBytes BytesFrom(const OptionControls& controls) {
  OptionBytes bytes;
  if (controls.powerUp) bytes.powerUp = 1 << *controls.powerUp;
  if (controls.invertCommutation) bytes.powerUp |= 8;
  bytes.fault = controls.fullResetOnFault ? 1 : 0;
  if (controls.homeMethod) bytes.home = 1 << *controls.homeMethod;
  if (controls.backOffToIndex) bytes.home |= 8;
  if (controls.towardsPositive) bytes.home |= 16;
  return bytes;
}

OptionControls ControlsFrom(const OptionBytes& bytes) {
  OptionControls controls;
  // Setting each button in turn leaves the last one set chosen, as option
  // buttons of one group do.
  for (int k = 0; k < 3; ++k) {
    if (bytes.powerUp & (1 << k)) controls.powerUp = k;
    if (bytes.home & (1 << k)) controls.homeMethod = k;
  }
  controls.invertCommutation = (bytes.powerUp & 8) != 0;
  controls.fullResetOnFault = bytes.fault == 1;
  controls.backOffToIndex = (bytes.home & 8) != 0;
  controls.towardsPositive = (bytes.home & 16) != 0;
  return controls;
}

std::optional<int> HomePicture(int homeOps) {
  static constexpr std::array<std::pair<int, int>, 9> kPictures = {
      {{1, 1}, {2, 2}, {4, 3}, {10, 4}, {12, 5}, {18, 6}, {20, 7}, {26, 8}, {28, 9}}};
  for (const auto& [ops, picture] : kPictures)
    if (ops == homeOps) return picture;
  return std::nullopt;
}

}  // namespace velkor::setup
