#pragma once
// What differs between the screen and the motor, field by field, and the
// user's choice of which to keep.

#include <QDialog>
#include <string>
#include <vector>

namespace velkor::setup::ui {

class CompareDialog : public QDialog {
  Q_OBJECT

 public:
  // `differences` as the settings comparison lists them ("key: screen | motor").
  CompareDialog(QWidget* parent, const std::vector<std::string>& differences);
};

}  // namespace velkor::setup::ui
