#include "setup/model/screen.h"

namespace velkor::setup {

std::string PositionCaptionOf(const AxisSettings& settings, int function) {
  const std::string_view caption = LayoutOf(settings.functions.at(static_cast<std::size_t>(function)).mode).positionCaption;
  return caption.empty() ? settings.PositionCaption() : std::string(caption);
}

std::string VelocityCaptionOf(const AxisSettings& settings, int function) {
  const std::string_view caption = LayoutOf(settings.functions.at(static_cast<std::size_t>(function)).mode).velocityCaption;
  return caption.empty() ? settings.VelocityCaption() : std::string(caption);
}

}  // namespace velkor::setup
