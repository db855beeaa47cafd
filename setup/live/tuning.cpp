#include "setup/live/tuning.h"

#include <cmath>

#include "setup/model/units.h"

namespace velkor::setup {

void SendGains(const Gains& gains, const char* header, MotorChannel& motor, CommandLog& log, View& view) {
  auto send = [&](const std::string& line) {
    log.Append(line);
    motor.HostWrite(line);  // a motor that does not take it is not reported
  };
  send(header);
  for (std::size_t k = 0; k < gains.size(); ++k) send(kGainTerms[k] + gains[k]);
  send("F");
  view.ShowMessage({"Tuning Value Sent To Motor", "Warning Values sent are temprorary. Please Download to make Permanent!",
                    Icon::Exclamation});
}

Gains SliderGains(int position, Gains gains) {
  const double t = position;
  const double integral = RoundToEven(1.09 * t - 17);
  gains[1] = IntegerText(integral < 0 ? 0 : integral);
  gains[2] = IntegerText(RoundToEven(12.34 * t + 31.65));
  gains[3] = IntegerText(RoundToEven(position < 201 ? 4 * t : 7 * t - 600));
  gains[4] = IntegerText(RoundToEven(position < 201 ? 4.5 * t : 11 * t - 1300));
  return gains;
}

}  // namespace velkor::setup
