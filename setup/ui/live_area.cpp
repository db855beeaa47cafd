// The live half of the window and the secondary windows.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include "setup/live/command_log.h"
#include "setup/live/status_monitor.h"
#include "setup/model/axis_settings.h"
#include "setup/ui/areas.h"

namespace velkor::setup::ui {
namespace {

QWidget* Selection(QWidget* parent) {
  auto* box = new QGroupBox("Motor", parent);
  auto* layout = new QGridLayout(box);
  layout->addWidget(Make<QPushButton>(box, "Picture3", "Scan for Motors"), 0, 0);
  layout->addWidget(Make<QComboBox>(box, "SelMotCombo"), 0, 1);
  layout->addWidget(Make<QLabel>(box, "SelMotLbl"), 1, 0, 1, 2);
  return box;
}

QWidget* Status(QWidget* parent) {
  auto* box = new QGroupBox("Status", parent);
  auto* layout = new QGridLayout(box);
  const char* readings[][2] = {{"Position", "Position"}, {"PosError", "Pos. Error"}, {"Speed", "Speed"},
                               {"Accel", "Accel"}, {"OpMode", "Mode"}};
  int row = 0;
  for (const auto& reading : readings) {
    layout->addWidget(new QLabel(reading[1], box), row, 0);
    auto* value = Make<QLabel>(box, reading[0]);
    value->setMinimumWidth(90);
    layout->addWidget(value, row++, 1);
  }
  auto* alarm = Make<QLabel>(box, QString::fromUtf8(kAlarmIndicator.data(), static_cast<int>(kAlarmIndicator.size())),
                             "ALARM");
  alarm->setStyleSheet("color: white; background-color: #c00000; padding: 2px;");
  alarm->hide();
  layout->addWidget(alarm, row++, 0, 1, 2);
  // Lights for inputs A .. G; the labels name what each input means.
  auto* lights = new QGridLayout;
  const int labelOf[] = {0, 1, 2, 3, 5, 6, 4};  // PRT index under light A, B, C, D, E, F, G
  const char* letters[] = {"A", "B", "C", "D", "G", "E", "F"};
  for (int i = 0; i < 7; ++i) {
    auto* light = Make<QLabel>(box, Named(kInputIndicator.data(), i + 1));
    light->setFixedSize(16, 16);
    light->setFrameStyle(QFrame::Box);
    lights->addWidget(light, 0, i, Qt::AlignHCenter);
    lights->addWidget(Make<QLabel>(box, Named("PRT", labelOf[i]), letters[labelOf[i]]), 1, i, Qt::AlignHCenter);
  }
  layout->addWidget(Make<QLabel>(box, "Label23", "Inputs"), row++, 0, 1, 2);
  layout->addLayout(lights, row++, 0, 1, 2);
  layout->addWidget(Make<QLabel>(box, "Label24", "Selected Function:"), row, 0);
  layout->addWidget(Make<QLabel>(box, "bcdi"), row, 1);
  return box;
}

QWidget* Jog(QWidget* parent) {
  auto* frame = Make<QGroupBox>(parent, "JogFrame");
  auto* layout = new QGridLayout(frame);
  layout->addWidget(Make<QLabel>(frame, "Label25", "Manual Jog"), 0, 0, 1, 2);
  layout->addWidget(Make<QLabel>(frame, "Label40", "Slow / Fast"), 0, 2, 1, 2);
  layout->addWidget(Make<QPushButton>(frame, "JogSlowNeg", "< Slow"), 1, 0);
  layout->addWidget(Make<QPushButton>(frame, "JogSlowPos", "Slow >"), 1, 1);
  layout->addWidget(Make<QPushButton>(frame, "JogFastNeg", "<< Fast"), 1, 2);
  layout->addWidget(Make<QPushButton>(frame, "JogFastPos", "Fast >>"), 1, 3);
  auto* slow = Make<QSpinBox>(frame, "JogLimitSlow");
  slow->setRange(1, 1000);
  slow->setValue(10);
  auto* fast = Make<QSpinBox>(frame, "JogLimitFast");
  fast->setRange(1, 1000);
  fast->setValue(100);
  layout->addWidget(slow, 2, 0, 1, 2);
  layout->addWidget(fast, 2, 2, 1, 2);
  auto* velocity = Make<QRadioButton>(frame, "VJog", "Velocity");
  velocity->setChecked(true);
  layout->addWidget(velocity, 3, 0);
  layout->addWidget(Make<QRadioButton>(frame, "TJog", "Torque"), 3, 1);
  layout->addWidget(Make<QCheckBox>(frame, "StopOnRelease", "Stop on Release"), 3, 2);
  layout->addWidget(Make<QPushButton>(frame, "JogStop", "Stop"), 3, 3);
  return frame;
}

QWidget* Commands(QWidget* parent) {
  auto* box = new QWidget(parent);
  auto* layout = new QGridLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  const char* captions[] = {"Zero", "\"G\" Go", "\"OFF\"", "\"ZS\"/On", "\"END\"", "RUN", "HOME MOTOR"};
  for (int k = 0; k < 7; ++k) layout->addWidget(Make<QPushButton>(box, Named("SendCmd", k), captions[k]), k / 4, k % 4);
  return box;
}

QWidget* Terminal(QWidget* parent) {
  auto* frame = Make<QGroupBox>(parent, "TermFrame");
  frame->setTitle("Terminal");
  auto* layout = new QGridLayout(frame);
  layout->addWidget(Make<QLabel>(frame, "Label30", "Command"), 0, 0);
  layout->addWidget(Make<QLineEdit>(frame, "CommandText"), 0, 1, 1, 3);
  layout->addWidget(Make<QLabel>(frame, "Label31", "Response"), 1, 0);
  auto* answer = Make<QLineEdit>(frame, "ResponseText");
  answer->setReadOnly(true);
  layout->addWidget(answer, 1, 1, 1, 3);
  layout->addWidget(new QLabel("Baud", frame), 2, 0);
  layout->addWidget(Make<QLabel>(frame, "BaudRate", "9600"), 2, 1);
  auto* rates = Make<QComboBox>(frame, "NewBaud");
  rates->addItems({"2400", "4800", "9600", "19200", "38400"});
  rates->setCurrentIndex(2);
  layout->addWidget(rates, 2, 2);
  return frame;
}

QWidget* Tuning(QWidget* parent) {
  auto* box = new QGroupBox("Tuning", parent);
  auto* layout = new QGridLayout(box);
  layout->addWidget(Make<QPushButton>(box, "Command1", "Default Tuning"), 0, 0);
  layout->addWidget(Make<QPushButton>(box, "DLtune", "Send Tuning"), 0, 1);
  layout->addWidget(Make<QLabel>(box, "Label22", "Proportional"), 1, 0);
  auto* slider = Make<QSlider>(box, "Tuner");
  slider->setOrientation(Qt::Horizontal);
  slider->setRange(0, 500);
  slider->setValue(42);
  layout->addWidget(slider, 1, 1);
  // Our additions: watching the motor and measuring a step.
  layout->addWidget(Make<QPushButton>(box, "LivePlot", "Live Plot..."), 2, 0);
  layout->addWidget(Make<QPushButton>(box, "StepResponse", "Step Response"), 2, 1);
  auto* step = new QHBoxLayout;
  auto* function = Make<QSpinBox>(box, "StepFunction");
  function->setRange(0, 15);
  function->setPrefix("Function ");
  step->addWidget(function);
  auto* seconds = Make<QDoubleSpinBox>(box, "StepSeconds");
  seconds->setRange(0.2, 60);
  seconds->setValue(1.5);
  seconds->setSingleStep(0.5);
  seconds->setSuffix(" s");
  seconds->setToolTip("How long the function's Go button is held while the response is recorded");
  step->addWidget(seconds);
  auto* band = Make<QDoubleSpinBox>(box, "StepBand");
  band->setRange(0.1, 50);
  band->setDecimals(1);
  band->setValue(2);
  band->setPrefix("band ");
  band->setSuffix(" %");
  band->setToolTip("The settling band, as a share of the step");
  step->addWidget(band);
  layout->addLayout(step, 3, 0, 1, 2);
  return box;
}

}  // namespace

QWidget* BuildLiveArea(QWidget* parent) {
  auto* area = new QWidget(parent);
  area->setMinimumWidth(370);
  auto* layout = new QVBoxLayout(area);
  layout->addWidget(Selection(area));
  layout->addWidget(Status(area));
  layout->addWidget(Jog(area));
  layout->addWidget(Commands(area));
  layout->addWidget(Terminal(area));
  layout->addWidget(Tuning(area));
  layout->addStretch();
  return area;
}

QWidget* BuildMotorValuesWindow(QWidget* owner) {
  auto* window = new QWidget(owner, Qt::Window);
  window->setObjectName("FenwaMV");
  window->setWindowTitle("Motor Values (Motor Units)");
  auto* layout = new QGridLayout(window);
  layout->addWidget(new QLabel("Data           Speed          Accel", window), 0, 1, 1, 3);
  for (int i = 0; i < 16; ++i) {
    layout->addWidget(new QLabel(QString::number(i), window), i + 1, 0);
    layout->addWidget(Make<QLabel>(window, Named("mpos", i)), i + 1, 1);
    layout->addWidget(Make<QLabel>(window, Named("mvel", i)), i + 1, 2);
    layout->addWidget(Make<QLabel>(window, Named("macc", i)), i + 1, 3);
  }
  auto* limits = Make<QGroupBox>(window, "MLims");
  auto* limitLayout = new QGridLayout(limits);
  const char* captions[] = {"Pos. Error Limit", "Home Pos. Error Limit", "Home Offset",        "Torque Limit",
                            "Home Torque Limit", "Home Velocity",        "Home  Acceleration", "Pos.(+) Travel Limt",
                            "Neg. (-) Travel Limit", "Home Value"};
  // The captions' order, as the window has always listed them, against the values' order.
  const int valueOf[] = {0, 1, 4, 2, 3, 5, 6, 7, 8, 9};
  for (int k = 0; k < 10; ++k) {
    limitLayout->addWidget(new QLabel(captions[k], limits), k, 0);
    limitLayout->addWidget(Make<QLabel>(limits, Named("LimVals", valueOf[k])), k, 1);
  }
  const char* options[] = {"PwrUpOps", "HomeOps", "FaultOps"};
  for (int k = 0; k < 3; ++k) {
    limitLayout->addWidget(new QLabel(options[k], limits), 10 + k, 0);
    limitLayout->addWidget(Make<QLabel>(limits, options[k]), 10 + k, 1);
  }
  layout->addWidget(limits, 0, 4, 18, 1);
  return window;
}

QWidget* BuildNoticesWindow(QWidget* owner) {
  auto* window = new QWidget(owner, Qt::Window | Qt::WindowStaysOnTopHint);
  window->setObjectName("FenwaMyNotices");
  auto* layout = new QVBoxLayout(window);
  auto* line = Make<QLabel>(window, "NoticeLine");
  line->setMinimumWidth(320);
  layout->addWidget(line);
  return window;
}

QWidget* BuildCommandLogWindow(QWidget* owner) {
  auto* window = new QWidget(owner, Qt::Window);
  window->setObjectName("Fenwaout");
  window->setWindowTitle("Serial Data To Motor:");
  auto* layout = new QVBoxLayout(window);
  auto* log = Make<QPlainTextEdit>(window, "SerialOut");
  log->setReadOnly(true);
  log->setPlainText("Start: \n");
  layout->addWidget(log);
  window->resize(420, 360);
  return window;
}

QWidget* BuildSplash(const QString& title) {
  auto* splash = new QLabel(title);
  splash->setWindowFlags(Qt::SplashScreen);
  splash->setObjectName("Splash");
  splash->setAlignment(Qt::AlignCenter);
  splash->setMinimumSize(360, 140);
  QFont font = splash->font();
  font.setPointSizeF(font.pointSizeF() * 1.6);
  font.setBold(true);
  splash->setFont(font);
  return splash;
}

}  // namespace velkor::setup::ui
