#pragma once
// The upload: the settings a download stored in the motor's EEPROM, read
// back into a model.

#include <functional>
#include <optional>
#include <string>

#include "setup/model/axis_settings.h"
#include "setup/model/view.h"
#include "setup/transfer/motor_channel.h"

namespace velkor::setup {

struct UploadRequest {
  std::string port;  // as the texts name it: "on Com" + port
  std::function<void(double)> progress = [](double) {};
};

struct UploadOutcome {
  // The model as the motor holds it; nothing when the motor has no data or
  // the upload failed (the model on screen then stays as it was).
  std::optional<AxisSettings> settings;
  std::optional<Message> noData;  // the motor's marker is not "123"
  std::string failure;            // an engine failure, said for the user
};

// Reads into a copy of `current` (DecPlaces, the resolution and the motor
// information come from it), so that a failure halfway loses nothing.
UploadOutcome SettingsUpload(const AxisSettings& current, const UploadRequest& request, MotorChannel& motor,
                             Clock& clock, View& view);

}  // namespace velkor::setup
