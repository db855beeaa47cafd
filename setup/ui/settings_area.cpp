// The settings half of the window.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <tuple>

#include "setup/model/axis_settings.h"
#include "setup/model/screen.h"
#include "setup/model/units.h"
#include "setup/model/view.h"
#include "setup/ui/areas.h"

namespace velkor::setup::ui {
namespace {

QLineEdit* Field(QWidget* parent, const QString& name, int width = 72) {
  auto* field = Make<QLineEdit>(parent, name);
  field->setFixedWidth(width);
  return field;
}

QWidget* DataTable(QWidget* parent) {
  auto* page = Make<QWidget>(parent, "Presets");
  auto* grid = new QGridLayout(page);
  grid->setVerticalSpacing(2);
  const char* headings[] = {"DCBA", "Mode", "Data", "", "Speed", "", "Accel", "", "NoGo", "", ""};
  for (int column = 0; column < 11; ++column) grid->addWidget(new QLabel(headings[column], page), 0, column);
  for (int i = 0; i < 16; ++i) {
    const int row = i + 1;
    grid->addWidget(Make<QLabel>(page, Named("PosIndex", i), QString::number(i)), row, 0);
    auto* mode = Make<QComboBox>(page, Named("Motion", i));
    for (std::string_view name : kModeNames) mode->addItem(Text(name));
    mode->setToolTip(Text(kModeToolTip));
    grid->addWidget(mode, row, 1);
    grid->addWidget(Field(page, Named("PrePos", i)), row, 2);
    grid->addWidget(Make<QLabel>(page, Named("UnitPos", i)), row, 3);
    grid->addWidget(Field(page, Named("PreVel", i)), row, 4);
    grid->addWidget(Make<QLabel>(page, Named("UnitVel", i)), row, 5);
    grid->addWidget(Field(page, Named("PreAcc", i)), row, 6);
    grid->addWidget(Make<QLabel>(page, Named("UnitAcc", i)), row, 7);
    grid->addWidget(Make<QCheckBox>(page, Named("NoGo", i)), row, 8);
    for (auto [control, caption, column] : {std::tuple{"Record", "Rec", 9}, std::tuple{"Gothere", "Go", 10}}) {
      auto* button = Make<QPushButton>(page, Named(control, i), caption);
      button->setFixedWidth(46);
      grid->addWidget(button, row, column);
    }
  }
  grid->setRowStretch(17, 1);
  return page;
}

QWidget* HomePanel(QWidget* parent) {
  auto* panel = Make<QGroupBox>(parent, "HomeSettings");
  auto* layout = new QGridLayout(panel);
  layout->addWidget(Make<QLabel>(panel, "Label3", "Home Method"), 0, 0, 1, 2);
  const char* methods[] = {"Set Present Position To [HomeValue]", "Home to Hardstop", "Home to Limit Switch (Port C)"};
  for (int k = 0; k < 3; ++k) layout->addWidget(Make<QRadioButton>(panel, Named("HomehsLim", k), methods[k]), k + 1, 0, 1, 2);
  layout->addWidget(Make<QCheckBox>(panel, Named("HomeChecked", 3), "Back Off to Index Pulse"), 4, 0, 1, 2);
  layout->addWidget(Make<QCheckBox>(panel, Named("HomeChecked", 4), "Home towards Positive End of travel"), 5, 0, 1, 2);
  auto* value = new QHBoxLayout;
  value->addWidget(Make<QLabel>(panel, Named("LimLabel", 9), Text(kLimitFields[9].label)));
  value->addWidget(Field(panel, Named("LimVals", 9)));
  value->addWidget(Make<QLabel>(panel, Named("LimUnit", 9)));
  value->addStretch();
  layout->addLayout(value, 6, 0, 1, 2);
  auto* picture = Make<QLabel>(panel, "HomePic");
  picture->setMinimumSize(320, 160);
  layout->addWidget(picture, 0, 2, 7, 1);
  return panel;
}

QWidget* AdvancedSettings(QWidget* parent) {
  auto* page = Make<QWidget>(parent, "ExtOpt");
  auto* layout = new QVBoxLayout(page);
  auto* limits = new QGridLayout;
  for (int j = 0; j < 9; ++j) {
    limits->addWidget(Make<QLabel>(page, Named("LimLabel", j), Text(kLimitFields[static_cast<std::size_t>(j)].label)), j, 0);
    limits->addWidget(Field(page, Named("LimVals", j)), j, 1);
    limits->addWidget(Make<QLabel>(page, Named("LimUnit", j)), j, 2);
  }
  limits->addWidget(new QLabel("* Travel limits are off while both are 0", page), 9, 0, 1, 3);
  auto* options = new QHBoxLayout;
  auto* powerUp = new QVBoxLayout;
  powerUp->addWidget(Make<QLabel>(page, "Label48", "Power-Up"));
  const char* powerUps[] = {"Call Home Routine on Power-Up", "Call Home Routine on First Go", "Manual Home:"};
  for (int k = 0; k < 3; ++k) powerUp->addWidget(Make<QRadioButton>(page, Named("HomeOption", k), powerUps[k]));
  powerUp->addWidget(Make<QCheckBox>(page, "Invert", "Invert Shaft Commutation"));
  auto* fault = Make<QGroupBox>(page, "FaultOpt");
  auto* faultLayout = new QVBoxLayout(fault);
  faultLayout->addWidget(Make<QLabel>(fault, "Label49", "Fault Action"));
  faultLayout->addWidget(Make<QRadioButton>(fault, Named("FaultAction", 0), "Dynamic Break to Stop"));
  faultLayout->addWidget(
      Make<QRadioButton>(fault, Named("FaultAction", 1), "Full CPU Reset on Any Fault  (Note: Requires re-home)"));
  options->addLayout(powerUp);
  options->addWidget(fault);
  layout->addLayout(limits);
  layout->addLayout(options);
  layout->addWidget(Make<QPushButton>(page, "Command7", Text(kShowHomeMethod)));
  layout->addWidget(HomePanel(page));
  layout->addStretch();
  return page;
}

QWidget* AlwaysShown(QWidget* parent) {
  auto* column = new QWidget(parent);
  auto* layout = new QGridLayout(column);
  int row = 0;
  for (int j = 0; j < 7; ++j, ++row) {
    layout->addWidget(Make<QLabel>(column, Named("piddesc", j), Text(kGainNames[static_cast<std::size_t>(j)])), row, 0);
    layout->addWidget(Make<QLabel>(column, Named("pidterm", j), QStringList{"KP", "KI", "KD", "KV", "KA", "KL", "KG"}[j]),
                      row, 1);
    layout->addWidget(Field(column, Named("pid", j), 80), row, 2);
  }
  layout->addWidget(Make<QLabel>(column, "Label2", "Encoder Counts"), row, 0);
  layout->addWidget(Field(column, Named("sf", 0), 80), row++, 2);
  layout->addWidget(Make<QLabel>(column, "Label37", "= User Units"), row, 0);
  layout->addWidget(Field(column, Named("sf", 1), 80), row++, 2);
  auto* units = Make<QComboBox>(column, "units");
  for (std::string_view name : kUnitNames) units->addItem(Text(name));
  layout->addWidget(new QLabel("Units", column), row, 0);
  layout->addWidget(units, row++, 2);
  layout->addWidget(Make<QLabel>(column, "Label29", "Encoder Resolution"), row, 0);
  layout->addWidget(Field(column, "ERes", 80), row++, 2);
  layout->addWidget(Make<QCheckBox>(column, "DetR", "Use Detected Resolution"), row++, 0, 1, 3);
  layout->addWidget(new QLabel("Decimals", column), row, 0);
  layout->addWidget(Make<QLabel>(column, "ROV"), row++, 2);
  const char* info[] = {"Model", "Serial No.", "Firmware", "Resolution", "Address", "New Firmware", "Last File",
                        "Last Download"};
  for (int k = 0; k < 8; ++k, ++row) {
    layout->addWidget(new QLabel(info[k], column), row, 0);
    layout->addWidget(Make<QLabel>(column, Named("MInfo", k)), row, 1, 1, 2);
  }
  layout->addWidget(Make<QLabel>(column, "MStat"), row++, 0, 1, 3);
  layout->addWidget(Make<QPushButton>(column, "DataDownload", "Download To Motor"), row++, 0, 1, 3);
  layout->addWidget(Make<QPushButton>(column, "DataUpload", "Upload From Motor"), row++, 0, 1, 3);
  layout->addWidget(Make<QPushButton>(column, "CompareMotor", "Compare With Motor"), row++, 0, 1, 3);
  auto* backup = Make<QCheckBox>(column, "BackupFirst", "Back up motor before download");
  backup->setChecked(true);
  layout->addWidget(backup, row++, 0, 1, 3);
  layout->addWidget(Make<QPushButton>(column, "Command5", Text(kShowAdvanced)), row++, 0, 1, 3);
  layout->setRowStretch(row, 1);
  return column;
}

}  // namespace

QString Named(const char* control, int index) { return Text(Indexed(control, index)); }

QWidget* BuildSettingsArea(QWidget* parent) {
  auto* area = new QWidget(parent);
  auto* layout = new QHBoxLayout(area);
  auto* stack = new QStackedWidget(area);
  stack->setObjectName("SettingsPlace");
  stack->addWidget(DataTable(stack));
  stack->addWidget(AdvancedSettings(stack));
  layout->addWidget(stack, 1);
  layout->addWidget(AlwaysShown(area));
  return area;
}

}  // namespace velkor::setup::ui
