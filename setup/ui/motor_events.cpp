// The window's motor side: scan, selection, status poll, transfers, test
// moves, jog, command buttons, terminal and tuning. Each exchange is a job
// of the motor session; what the window must change afterwards comes back
// to its own thread.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QRadioButton>
#include <QSettings>
#include <QSlider>
#include <QSpinBox>

#include "setup/files/axis_file.h"
#include "setup/live/port_diagnosis.h"
#include "setup/live/step_response.h"
#include "setup/live/terminal.h"
#include "setup/live/tuning.h"
#include "setup/transfer/settings_backup.h"
#include "setup/transfer/settings_download.h"
#include "setup/transfer/settings_upload.h"
#include "setup/ui/areas.h"
#include "setup/ui/compare_dialog.h"
#include "setup/ui/fenwa_window.h"
#include "setup/ui/plot_window.h"
#include "setup/ui/step_dialog.h"
#include "setup/ui/text_dialog.h"

namespace velkor::setup::ui {
namespace {

constexpr std::string_view kDownloadNotices = "Downlaoding Data to Selected Motor";

SleepingClock& RealPauses() {
  static SleepingClock clock;
  return clock;
}

bool Pressed(QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress) return static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
  if (event->type() != QEvent::KeyPress) return false;
  const auto* key = static_cast<QKeyEvent*>(event);
  return key->key() == Qt::Key_Space && !key->isAutoRepeat();
}
bool Released(QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease) return static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
  if (event->type() != QEvent::KeyRelease) return false;
  const auto* key = static_cast<QKeyEvent*>(event);
  return key->key() == Qt::Key_Space && !key->isAutoRepeat();
}

std::optional<JogButton> JogOf(const QString& control) {
  if (control == "JogSlowPos") return JogButton::SlowPos;
  if (control == "JogSlowNeg") return JogButton::SlowNeg;
  if (control == "JogFastPos") return JogButton::FastPos;
  if (control == "JogFastNeg") return JogButton::FastNeg;
  return std::nullopt;
}

}  // namespace

void FenwaWindow::ConnectLive() {
  connect(qobject_cast<QAbstractButton*>(Control("Picture3")), &QAbstractButton::clicked, this, &FenwaWindow::Scan);
  connect(qobject_cast<QComboBox*>(Control("SelMotCombo")), &QComboBox::activated, this, &FenwaWindow::SelectMotor);
  connect(qobject_cast<QAbstractButton*>(Control("DataDownload")), &QAbstractButton::clicked, this,
          &FenwaWindow::Download);
  connect(qobject_cast<QAbstractButton*>(Control("DataUpload")), &QAbstractButton::clicked, this, &FenwaWindow::Upload);
  connect(qobject_cast<QAbstractButton*>(Control("CompareMotor")), &QAbstractButton::clicked, this,
          &FenwaWindow::Compare);
  auto* backup = qobject_cast<QAbstractButton*>(Control("BackupFirst"));
  if (!options_.preferences.empty()) {
    QSettings preferences(QString::fromStdString(options_.preferences.string()), QSettings::IniFormat);
    backup->setChecked(preferences.value("BackupBeforeDownload", true).toBool());
  }
  connect(backup, &QAbstractButton::toggled, this, [this](bool checked) {
    if (options_.preferences.empty()) return;
    QSettings preferences(QString::fromStdString(options_.preferences.string()), QSettings::IniFormat);
    preferences.setValue("BackupBeforeDownload", checked);
  });
  connect(qobject_cast<QAbstractButton*>(Control("LivePlot")), &QAbstractButton::clicked, this, &FenwaWindow::ShowPlot);
  connect(qobject_cast<QAbstractButton*>(Control("StepResponse")), &QAbstractButton::clicked, this,
          &FenwaWindow::StepResponse);
  SetAdditionsReady(false);
  connect(qobject_cast<QAbstractButton*>(Control("JogStop")), &QAbstractButton::clicked, this, [this] {
    session_.Post([this] {
      if (moves_) moves_->JogStop();
    });
    Control("Picture1")->setFocus();
  });
  for (int k = 0; k < 6; ++k) {
    connect(qobject_cast<QAbstractButton*>(Control(Named("SendCmd", k).toUtf8())), &QAbstractButton::clicked, this,
            [this, k] { CommandPressed(k); });
  }
  connect(qobject_cast<QAbstractButton*>(Control("Command1")), &QAbstractButton::clicked, this,
          [this] { SendTuning(true); });
  connect(qobject_cast<QAbstractButton*>(Control("DetR")), &QAbstractButton::clicked, this, [this](bool checked) {
    if (checked) Quietly([&] { editor_.MotorSelected(editor_.Settings().motorInfo, editor_.Settings().motorInfo[3]); });
  });
}

// Buttons that act on press and on release; the rest act on a click.
bool FenwaWindow::ButtonEvent(QWidget& widget, const QString& control, int index, QEvent* event) {
  const bool press = Pressed(event);
  const bool release = Released(event);
  if (!press && !release) {
    if (control == "CommandText" && event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        TerminalEnter();
        return true;
      }
    }
    if (control == "CommandText" && event->type() == QEvent::FocusIn)
      QTimer::singleShot(0, Control("CommandText"), [this] { qobject_cast<QLineEdit*>(Control("CommandText"))->selectAll(); });
    return false;
  }
  if (!widget.isEnabled()) return false;
  if (control == "Gothere") {
    press ? GoPressed(index) : GoReleased(index);
  } else if (const auto jog = JogOf(control)) {
    press ? JogPressed(*jog) : JogReleased();
  } else if (control == "SendCmd" && index == kHomeButton) {
    press ? CommandPressed(kHomeButton) : HomeReleased();
  } else if (control == "DLtune" && press) {
    SendTuning(false);
  } else if (release && (control == "Command1" || control == "DLtune" || control == "Record" || control == "Tuner" ||
                         control == "SendCmd" || control == "JogStop")) {
    QTimer::singleShot(0, Control("Picture1"), [this] { Control("Picture1")->setFocus(); });
  }
  return false;
}

Clock& FenwaWindow::Pauses() const { return options_.clock ? *options_.clock : RealPauses(); }

std::string FenwaWindow::PortText() const { return std::to_string(selectedPort_); }

JogControls FenwaWindow::Jog() const {
  return {qobject_cast<QSpinBox*>(Control("JogLimitSlow"))->value(),
          qobject_cast<QSpinBox*>(Control("JogLimitFast"))->value(),
          qobject_cast<QRadioButton*>(Control("TJog"))->isChecked(),
          qobject_cast<QCheckBox*>(Control("StopOnRelease"))->isChecked()};
}

void FenwaWindow::SetBusy(bool busy) {
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    poll_.stop();
  } else {
    QApplication::restoreOverrideCursor();
    if (motorChosen_) poll_.start();
  }
  centralWidget()->setEnabled(!busy);
  menuBar()->setEnabled(!busy);
  Quietly([&] { editor_.SetMotorReady(!busy && motorChosen_); });
  SetAdditionsReady(!busy && motorChosen_);
}

void FenwaWindow::SetAdditionsReady(bool ready) {
  for (const char* control :
       {"CompareMotor", "BackupFirst", "LivePlot", "StepResponse", "StepFunction", "StepSeconds", "StepBand"}) {
    Control(control)->setVisible(ready);
    Control(control)->setEnabled(ready);
  }
}

void FenwaWindow::Scan() {
  poll_.stop();
  motorChosen_ = false;
  Quietly([&] { editor_.SetMotorReady(false); });
  SetAdditionsReady(false);
  view_->SetText("MStat", "Scanning Available Serial Ports For Motors ");
  Control("TermFrame")->setEnabled(false);
  Control(Named("SendCmd", kRunButton).toUtf8())->hide();
  auto* list = qobject_cast<QComboBox*>(Control("SelMotCombo"));
  list->clear();
  list->hide();
  auto* label = qobject_cast<QLabel*>(Control("SelMotLbl"));
  QFont bold = label->font();
  bold.setBold(true);
  label->setFont(bold);
  label->setText("Scanning For Motors");
  label->show();
  ScanOptions scanOptions{options_.scanPorts, options_.clock};
  session_.Post([this, scanOptions] {
    channel_.reset();
    moves_.reset();
    live_.pollingOn = false;
    scan_.Run(scanOptions, *view_);
    if (scan_.Motors().empty() && !scan_.ProbedPorts().empty()) ShowDiagnosis();
    QStringList entries;
    for (const FoundMotor& motor : scan_.Motors()) entries << QString::fromStdString(motor.ListText());
    QMetaObject::invokeMethod(this, [this, entries] {
      auto* list = qobject_cast<QComboBox*>(Control("SelMotCombo"));
      auto* label = qobject_cast<QLabel*>(Control("SelMotLbl"));
      QFont plain = label->font();
      plain.setBold(false);
      label->setFont(plain);
      if (entries.isEmpty()) {
        label->setText("No Motors Found");
        return;
      }
      list->addItems(entries);
      list->setCurrentIndex(0);
      list->show();
      label->setText(QStringLiteral("Select any of %1 Motors Found").arg(entries.size()));
      Control("TermFrame")->setEnabled(true);
      Control(Named("SendCmd", kRunButton).toUtf8())->show();
      qobject_cast<QLabel*>(Control("BaudRate"))->setText("9600");
      qobject_cast<QComboBox*>(Control("NewBaud"))->setCurrentIndex(2);
      SelectMotor(0);
    });
  });
}

void FenwaWindow::Diagnose() {
  session_.Post([this] { ShowDiagnosis(); });
}

void FenwaWindow::ShowDiagnosis() {
  std::string report;
  if (!scan_.State()) {
    report = "No scan yet: Scan for Motors first, then this looks at each port where no motor answered.\n";
  } else {
    view_->SetBusy(true);
    view_->ShowNotices("Connection Diagnostics", "Looking at each port where no motor answered");
    report = FormatDiagnosis(DiagnoseScan(scan_));
    view_->HideNotices();
    view_->SetBusy(false);
    if (report.empty()) report = std::string(kEveryPortAnswered) + "\n";
  }
  QMetaObject::invokeMethod(this, [this, report] {
    auto* dialog = new TextDialog(this, "ConnectionDiagnostics", "Connection Diagnostics", Text(report));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
  });
}

void FenwaWindow::SelectMotor(int listIndex) {
  poll_.stop();
  const bool takeResolution = qobject_cast<QCheckBox*>(Control("DetR"))->isChecked();
  session_.Post([this, listIndex, takeResolution] {
    const auto information = InformationOf(scan_, listIndex, takeResolution);
    if (!information) return;
    const FoundMotor& motor = scan_.Motors().at(static_cast<std::size_t>(listIndex));
    moves_.reset();
    channel_ = std::make_unique<EngineChannel>(scan_.Host(motor.port), motor.address);
    if (!channel_->Ready()) {
      channel_.reset();
      return;
    }
    moves_ = std::make_unique<TestMoves>(live_, *channel_, *view_, *log_);
    live_.pollingOn = true;
    live_.selectedAddress = motor.address;
    live_.timerOn = true;
    const int port = motor.port;
    QMetaObject::invokeMethod(this, [this, information = *information, port] {
      selectedPort_ = port;
      motorChosen_ = true;
      Quietly([&] {
        editor_.MotorSelected(information.texts, information.encoderRes);
        editor_.SetMotorReady(true);
      });
      SetAdditionsReady(true);
      poll_.start();
    });
  });
}

void FenwaWindow::Tick() {
  if (!plotting_) {
    session_.PostTick([this, settings = editor_.Settings()] {
      if (channel_ && live_.pollingOn && live_.timerOn) StatusTick(live_, settings, *channel_, *view_);
    });
    return;
  }
  if (editor_.Settings() != plotSettings_) {
    plotSettings_ = editor_.Settings();
    ++plotSettingsChanges_;
  }
  session_.PostTick([this, settings = plotSettings_, changes = plotSettingsChanges_.load()] {
    if (!channel_) return;
    const auto stop = [&] { return !plotting_ || changes != plotSettingsChanges_ || session_.Interrupted(); };
    PlotBurst(live_, settings, *channel_, *view_, SteadySeconds, stop, [this](std::vector<Sample> samples) {
      QMetaObject::invokeMethod(plot_, [plot = plot_, samples = std::move(samples)] { plot->Append(samples); });
    });
  });
}

void FenwaWindow::ShowPlot() {
  if (!plot_) {
    plot_ = new PlotWindow(this, [this] { return editor_.Settings(); });
    connect(plot_, &PlotWindow::takingChanged, this, [this] {
      plotting_ = plot_->Taking();
      if (plotting_ && motorChosen_) poll_.start();
    });
  }
  plot_->show();
  plot_->raise();
}

void FenwaWindow::StepResponse() {
  const StepRequest request{qobject_cast<QSpinBox*>(Control("StepFunction"))->value(),
                            qobject_cast<QDoubleSpinBox*>(Control("StepSeconds"))->value(),
                            qobject_cast<QDoubleSpinBox*>(Control("StepBand"))->value() / 100};
  SetBusy(true);
  session_.Post([this, request, settings = editor_.Settings()]() mutable {
    std::optional<StepRecord> record;
    if (moves_ && channel_) record = RecordStep(request, settings, *moves_, live_, *channel_, *view_, SteadySeconds);
    QMetaObject::invokeMethod(this, [this, request, record = std::move(record), settings] {
      SetBusy(false);
      if (!record || (record->refusal && record->refusal->empty())) return;
      if (record->refusal) {
        view_->ShowMessage({"Step Response", *record->refusal, Icon::Exclamation});
        return;
      }
      const StepFigures figures =
          StepFiguresOf(record->samples, record->moveStart, record->start, record->target, request.band);
      auto* dialog = new StepDialog(this, *record, StepFiguresText(figures, request, settings), settings);
      dialog->setAttribute(Qt::WA_DeleteOnClose);
      dialog->open();
    });
  });
}

void FenwaWindow::Download() {
  const AxisSettings settings = editor_.Settings();
  if (const auto refusal = DownloadRefusal(settings)) {
    view_->ShowMessage(*refusal);
    if (refusal->text == kCorrectResolution) view_->Focus("ERes");
    return;
  }
  // The download goes on whether or not the user saves.
  std::filesystem::path saved = ChooseFile(true);
  if (!saved.empty() && !SaveFile(saved)) saved.clear();
  const std::string fileName = saved.empty() ? std::string() : AxisFileName(saved).filename().string();
  DownloadRequest request{options_.program, PortText(), fileName, DownloadDateTime()};
  Clock& clock = Pauses();
  const bool backUp = qobject_cast<QAbstractButton*>(Control("BackupFirst"))->isChecked();
  const std::filesystem::path backups = BackupFolder(options_.axisDataFolder);
  const std::string serial = editor_.Settings().motorInfo[1];
  poll_.stop();
  session_.Post([this, settings, request, &clock, backUp, backups, serial] {
    if (!channel_) return;
    // Our addition before the prescribed sequence: what the motor holds is kept first.
    std::optional<std::filesystem::path> backup;
    if (backUp) {
      view_->SetBusy(true);
      view_->ShowNotices(kDownloadNotices, "Backing Up the Motor's Settings");
      const BackupOutcome kept = BackUpMotorSettings(settings, backups, serial, request.port, *channel_, clock);
      view_->HideNotices();
      view_->SetBusy(false);
      if (!kept.failure.empty()) {
        view_->ShowMessage({"Download Not Started", "The motor's settings could not be backed up, so nothing was "
                                                    "downloaded: " + kept.failure, Icon::Exclamation});
        return;
      }
      backup = kept.file;
      if (backup) view_->ShowNotices(kDownloadNotices, "Motor's Settings Backed Up to " + backup->filename().string());
    }
    const DownloadOutcome outcome = SettingsDownload(settings, request, *channel_, clock, *view_);
    if (backup) view_->SetHelp("The motor's settings before this download are in " + backup->string());
    QMetaObject::invokeMethod(this, [this, outcome, request] {
      if (outcome.complete) {
        auto information = editor_.Settings().motorInfo;
        information[6] = request.fileName;
        information[7] = request.dateTime;
        Quietly([&] { editor_.MotorSelected(information, std::nullopt); });
      } else {
        view_->SetHelp("Download Failure: " + outcome.failure);
      }
    });
    if (outcome.complete) {
      for (FoundMotor& motor : scan_.Motors())
        if (motor.port == selectedPort_ && motor.address == channel_->Address()) {
          motor.lastFile = request.fileName;
          motor.lastDate = request.dateTime;
        }
    }
  });
}

void FenwaWindow::Upload() {
  const AxisSettings settings = editor_.Settings();
  Clock& clock = Pauses();
  poll_.stop();
  session_.Post([this, settings, port = PortText(), &clock] {
    if (!channel_) return;
    UploadOutcome outcome = SettingsUpload(settings, UploadRequest{port}, *channel_, clock, *view_);
    if (!outcome.settings) return;
    QMetaObject::invokeMethod(this, [this, uploaded = *outcome.settings] {
      Quietly([&] { editor_.Uploaded(uploaded); });
      bool number = false;
      const int kp = QString::fromStdString(uploaded.gains[0]).toInt(&number);
      if (number) qobject_cast<QSlider*>(Control("Tuner"))->setValue(kp);
    });
  });
}

void FenwaWindow::Compare() {
  const AxisSettings settings = editor_.Settings();
  Clock& clock = Pauses();
  poll_.stop();
  session_.Post([this, settings, port = PortText(), &clock] {
    if (!channel_) return;
    // Into a model of its own: the screen stays as it is until the user chooses.
    View quiet;
    view_->SetBusy(true);
    UploadOutcome outcome = SettingsUpload(settings, UploadRequest{port}, *channel_, clock, quiet);
    view_->SetBusy(false);
    if (outcome.noData) view_->ShowMessage(*outcome.noData);
    if (!outcome.failure.empty())
      view_->ShowMessage({"Compare With Motor", "The motor's settings could not be read: " + outcome.failure,
                          Icon::Exclamation});
    if (!outcome.settings) return;
    QMetaObject::invokeMethod(this, [this, motor = *outcome.settings] {
      auto* dialog = new CompareDialog(this, AxisFileDifferences(editor_.Settings(), motor));
      dialog->setAttribute(Qt::WA_DeleteOnClose);
      connect(dialog, &QDialog::accepted, this, [this, motor] { Quietly([&] { editor_.Uploaded(motor); }); });
      dialog->open();
    });
  });
}

void FenwaWindow::GoPressed(int function) {
  poll_.stop();
  session_.Post([this, function, settings = editor_.Settings()]() mutable {
    if (moves_) moves_->GoPressed(function, settings);
    // The live plot watches the move while the button is held.
    if (live_.timerOn || plotting_) QMetaObject::invokeMethod(this, [this] { poll_.start(); });
  });
}

void FenwaWindow::GoReleased(int function) {
  session_.Post([this, function, settings = editor_.Settings()] {
    if (moves_) moves_->GoReleased(function, settings);
    QMetaObject::invokeMethod(this, [this] { poll_.start(); });
  });
}

void FenwaWindow::JogPressed(JogButton button) {
  session_.Post([this, button, controls = Jog()] {
    if (moves_) moves_->JogPressed(button, controls);
  });
}

void FenwaWindow::JogReleased() {
  session_.Post([this, controls = Jog()] {
    if (moves_) moves_->JogReleased(controls);
  });
}

void FenwaWindow::CommandPressed(int button) {
  session_.Post([this, button, settings = editor_.Settings()] {
    if (moves_) moves_->CommandPressed(button, settings);
  });
}

void FenwaWindow::HomeReleased() {
  session_.Post([this] {
    if (moves_) moves_->HomeReleased();
  });
}

void FenwaWindow::TerminalEnter() {
  const std::string command = qobject_cast<QLineEdit*>(Control("CommandText"))->text().toStdString();
  session_.Post([this, command] {
    if (channel_) setup::TerminalEnter(command, *channel_, *view_);
  });
}

void FenwaWindow::SendTuning(bool defaults) {
  if (defaults) {
    Quietly([&] { editor_.SetGains(kFactoryGains); });
    qobject_cast<QSlider*>(Control("Tuner"))->setValue(42);
  }
  session_.Post([this, gains = editor_.Settings().gains, defaults] {
    if (channel_) SendGains(gains, defaults ? kDefaultTuningHeader : kCustomTuningHeader, *channel_, *log_, *view_);
  });
}

}  // namespace velkor::setup::ui
