#pragma once
// A recorded step response: the position against the time since the move
// was commanded, the target, and the figures.

#include <QDialog>
#include <string>
#include <vector>

#include "setup/live/step_response.h"

namespace velkor::setup::ui {

class StepDialog : public QDialog {
  Q_OBJECT

 public:
  StepDialog(QWidget* parent, const StepRecord& record, const std::vector<std::string>& figures,
             const AxisSettings& settings);
};

}  // namespace velkor::setup::ui
