#include "setup/ui/fenwa_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QSlider>
#include <QSplitter>
#include <QVBoxLayout>

#include "setup/files/axis_file.h"
#include "setup/files/window_settings.h"
#include "setup/live/tuning.h"
#include "setup/ui/areas.h"

namespace velkor::setup::ui {
namespace {

// "PrePos(3)" -> "PrePos" and 3; "ERes" -> "ERes" and -1.
std::pair<QString, int> Split(const QString& name) {
  static const QRegularExpression indexed(QStringLiteral("^(\\w+)\\((\\d+)\\)$"));
  const auto match = indexed.match(name);
  if (!match.hasMatch()) return {name, -1};
  return {match.captured(1), match.captured(2).toInt()};
}

// The settings field a widget shows, by its name.
std::optional<FieldId> FieldOf(const QString& name) {
  const auto [control, index] = Split(name);
  if (control == "PrePos") return FieldId{FieldGroup::Data, index};
  if (control == "PreVel") return FieldId{FieldGroup::Vel, index};
  if (control == "PreAcc") return FieldId{FieldGroup::Acc, index};
  if (control == "LimVals") return FieldId{FieldGroup::LimVal, index};
  if (control == "pid") return FieldId{FieldGroup::Pid, index};
  if (control == "sf") return FieldId{FieldGroup::Scale, index};
  if (control == "ERes") return FieldId{FieldGroup::EncoderRes, 0};
  return std::nullopt;
}

std::optional<Key> KeyOf(int key) {
  switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return Key::Enter;
    case Qt::Key_Up: return Key::Up;
    case Qt::Key_Down: return Key::Down;
    case Qt::Key_Left: return Key::Left;
    case Qt::Key_Right: return Key::Right;
    default: return std::nullopt;
  }
}

// Twips, as "FenwaSU.ini" keeps positions, at the screen's logical DPI.
int Twips(int pixels, const QWidget& widget) {
  const qreal dpi = widget.screen() ? widget.screen()->logicalDotsPerInch() : 96.0;
  return static_cast<int>(pixels * 1440 / dpi);
}
int Pixels(int twips, const QWidget& widget) {
  const qreal dpi = widget.screen() ? widget.screen()->logicalDotsPerInch() : 96.0;
  return static_cast<int>(twips * dpi / 1440);
}

// What an undo step compares: the motor's description and the change flag
// are not edits.
AxisSettings Edited(AxisSettings settings) {
  settings.motorInfo = {};
  settings.changesMade = false;
  return settings;
}

class EditStep : public QUndoCommand {
 public:
  EditStep(AxisSettings before, AxisSettings after, std::function<void(const AxisSettings&)> show)
      : before_(std::move(before)), after_(std::move(after)), show_(std::move(show)) {}
  void undo() override { show_(before_); }
  void redo() override {
    if (std::exchange(done_, true)) show_(after_);  // the first time, the screen already shows it
  }

 private:
  AxisSettings before_, after_;
  std::function<void(const AxisSettings&)> show_;
  bool done_ = false;
};


}  // namespace

FenwaWindow::FenwaWindow(WindowOptions options)
    : options_(std::move(options)), view_(std::make_unique<QtView>(*this)), editor_(*view_) {
  setObjectName("Fenwa");
  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  auto* content = new QWidget(scroll);
  auto* layout = new QVBoxLayout(content);
  auto* areas = new QHBoxLayout;
  areas->addWidget(BuildSettingsArea(content), 1);
  areas->addWidget(BuildLiveArea(content), 0);
  layout->addLayout(areas);
  // Takes the focus from buttons, so that none keeps it.
  auto* sink = new QWidget(content);
  sink->setObjectName("Picture1");
  sink->setFocusPolicy(Qt::StrongFocus);
  sink->setFixedSize(1, 1);
  layout->addWidget(sink);
  scroll->setWidget(content);
  // The help line stays in sight below whatever scrolls.
  auto* central = new QWidget(this);
  auto* frame = new QVBoxLayout(central);
  frame->setContentsMargins(0, 0, 0, 0);
  frame->setSpacing(0);
  frame->addWidget(scroll, 1);
  auto* help = new QLabel(central);
  help->setObjectName("DH");
  help->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  help->setMinimumHeight(help->fontMetrics().height() + 8);
  frame->addWidget(help);
  setCentralWidget(central);

  motorValues_ = BuildMotorValuesWindow(this);
  notices_ = BuildNoticesWindow(this);
  commandLog_ = BuildCommandLogWindow(this);
  for (QWidget* window : {motorValues_, notices_, commandLog_}) view_->AddWindow(*window);
  view_->noticesShown = [this](std::string_view caption, std::string_view line) {
    notices_->setWindowTitle(Text(caption));
    if (auto* text = notices_->findChild<QLabel*>("NoticeLine")) text->setText(Text(line));
    notices_->show();
  };
  view_->noticesHidden = [this] { notices_->hide(); };
  view_->busyChanged = [this](bool busy) { SetBusy(busy); };

  BuildMenus();
  for (QWidget* widget : findChildren<QWidget*>()) Watch(*widget);
  ConnectSettings();
  ConnectLive();
  log_ = std::make_unique<CommandLog>(*view_);
  Quietly([&] { editor_.StartUp(); }, false);
  shown_ = Edited(editor_.Settings());
  for (int k = 0; k < 7; ++k) Control(Named("SendCmd", k).toUtf8())->setToolTip(Text(kCommandPresets[k]));
  Control("SelMotCombo")->hide();
  Control("SelMotLbl")->hide();

  resize(1340, 740);
  if (const auto position = RestoredPosition(options_.windowSettings))
    move(Pixels(position->left, *this), Pixels(position->top, *this));
  if (options_.splash) {
    QWidget* splash = BuildSplash(Text(kBaseTitle));
    splash->setAttribute(Qt::WA_DeleteOnClose);
    splash->show();
    QTimer::singleShot(4000, splash, &QWidget::close);
  }
  connect(&poll_, &QTimer::timeout, this, &FenwaWindow::Tick);
  poll_.setInterval(options_.pollMilliseconds);
}

FenwaWindow::~FenwaWindow() {
  poll_.stop();
  plotting_ = false;
  view_->Detach();
  session_.Drain();
}


void FenwaWindow::Quietly(const std::function<void()>& call, bool step) {
  const bool was = quiet_;
  quiet_ = true;
  call();
  quiet_ = was;
  if (step && !reverting_) Recorded();
}

void FenwaWindow::Recorded() {
  const AxisSettings now = Edited(editor_.Settings());
  if (now == shown_) return;
  undo_.push(new EditStep(shown_, now, [this](const AxisSettings& settings) {
    reverting_ = true;
    revertTo_ = settings;
  }));
  shown_ = now;
}

void FenwaWindow::BuildMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  file->setObjectName("mnuFile");
  QAction* open = file->addAction("&Open...", this, [this] {
    if (const auto chosen = ChooseFile(false); !chosen.empty()) OpenFile(chosen);
  });
  open->setObjectName("mnuOpen");
  open->setShortcut(QKeySequence::Open);
  QAction* save = file->addAction("&Save...", this, [this] {
    if (const auto chosen = ChooseFile(true); !chosen.empty()) SaveFile(chosen);
  });
  save->setObjectName("mnuSave");
  save->setShortcut(QKeySequence::Save);
  file->addSeparator();
  file->addAction("&Close", this, &QWidget::close)->setObjectName("mnuCose");
  QAction* exit = file->addAction("E&xit", this, &QWidget::close);
  exit->setObjectName("mnuExit");
  exit->setShortcut(QKeySequence::Quit);
  QMenu* edits = menuBar()->addMenu("&Edit");
  QAction* undo = undo_.createUndoAction(this, "&Undo");
  undo->setObjectName("mnuUndo");
  undo->setShortcut(QKeySequence::Undo);
  QAction* redo = undo_.createRedoAction(this, "&Redo");
  redo->setObjectName("mnuRedo");
  redo->setShortcut(QKeySequence::Redo);
  edits->addAction(undo);
  edits->addAction(redo);
  // The stack has moved: the screen shows where it went, and whether that is the state saved.
  connect(&undo_, &QUndoStack::indexChanged, this, [this] {
    if (!reverting_) return;
    Quietly([&] { editor_.Revert(revertTo_, undo_.isClean()); }, false);
    shown_ = Edited(editor_.Settings());
    reverting_ = false;
  });
  QMenu* windows = menuBar()->addMenu("&Windows");
  windows->addAction("Motor Values", motorValues_, &QWidget::show);
  windows->addAction("Serial Data To Motor", commandLog_, &QWidget::show);
  windows->addAction("Live Plot", this, &FenwaWindow::ShowPlot)->setObjectName("mnuLivePlot");
  windows->addAction("Connection Diagnostics", this, &FenwaWindow::Diagnose)->setObjectName("mnuDiagnostics");
}

std::filesystem::path FenwaWindow::ChooseFile(bool save) {
  if (options_.chooseFile) return options_.chooseFile(save);
  const QString folder = QString::fromStdString(options_.axisDataFolder.string());
  const QString filter = "Axis Data Files (*.adf)";
  const QString chosen = save ? QFileDialog::getSaveFileName(this, "Save Axis Data File", folder, filter)
                              : QFileDialog::getOpenFileName(this, "Open Axis Data File", folder, filter);
  return chosen.toStdString();
}

bool FenwaWindow::OpenFile(const std::filesystem::path& file) {
  const OpenedAxisFile opened = OpenAxisFile(file);
  if (!opened.settings) {
    view_->ShowMessage({"Open Axis Data File", opened.error, Icon::Exclamation});
    return false;
  }
  Quietly([&] { editor_.Opened(*opened.settings, file.filename().string()); });
  undo_.setClean();
  if (!opened.warnings.empty()) {
    std::string text;
    for (const std::string& warning : opened.warnings) text += warning + "\n";
    view_->ShowMessage({"Open Axis Data File", text, Icon::Information});
  }
  return true;
}

bool FenwaWindow::SaveFile(const std::filesystem::path& chosen) {
  const std::filesystem::path file = AxisFileName(chosen);
  if (const auto failure = SaveAxisFile(editor_.Settings(), file)) {
    view_->ShowMessage({"Save Axis Data File", *failure, Icon::Exclamation});
    return false;
  }
  Quietly([&] { editor_.Saved(file.filename().string()); });
  undo_.setClean();
  return true;
}

void FenwaWindow::Watch(QWidget& widget) {
  if (widget.objectName().isEmpty()) return;
  widget.installEventFilter(this);
  widget.setAttribute(Qt::WA_Hover);
}

bool FenwaWindow::eventFilter(QObject* watched, QEvent* event) {
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget) return false;
  const QString name = widget->objectName();
  const auto [control, index] = Split(name);
  if (event->type() == QEvent::Enter) editor_.ShowHelp(control.toStdString(), index);
  // The captions of the input lights open the secondary windows, without blocking.
  if (event->type() == QEvent::MouseButtonDblClick && (control == "Label23" || control == "Label24")) {
    (control == "Label23" ? motorValues_ : commandLog_)->show();
    return true;
  }
  if (quiet_) return false;
  if (const auto field = FieldOf(name)) return FieldEvent(*field, event);
  return ButtonEvent(*widget, control, index, event);
}

bool FenwaWindow::FieldEvent(FieldId field, QEvent* event) {
  switch (event->type()) {
    case QEvent::FocusIn:
      Quietly([&] { editor_.GotFocus(field); });
      return false;
    case QEvent::FocusOut:
      Quietly([&] { editor_.Accept(field, Key::LostFocus); });
      return false;
    case QEvent::KeyPress: {
      const auto key = KeyOf(static_cast<QKeyEvent*>(event)->key());
      if (!key) return false;
      Quietly([&] { editor_.KeyDown(field, *key); });
      return true;
    }
    default:
      return false;
  }
}

void FenwaWindow::ConnectSettings() {
  for (QLineEdit* edit : findChildren<QLineEdit*>()) {
    const auto field = FieldOf(edit->objectName());
    if (!field) continue;
    // Typing is not a step of its own: the accepted value is.
    connect(edit, &QLineEdit::textEdited, this, [this, field = *field](const QString& text) {
      Quietly([&] { editor_.TextChanged(field, text.toStdString()); }, false);
    });
  }
  for (int i = 0; i < 16; ++i) {
    auto* mode = qobject_cast<QComboBox*>(Control(Named("Motion", i).toUtf8()));
    connect(mode, &QComboBox::activated, this, [this, i](int index) {
      Quietly([&] { editor_.SelectMode(i, static_cast<Mode>(index)); });
    });
    auto* noGo = qobject_cast<QAbstractButton*>(Control(Named("NoGo", i).toUtf8()));
    connect(noGo, &QAbstractButton::clicked, this, [this, i](bool checked) { Quietly([&] { editor_.SetNoGo(i, checked); }); });
  }
  auto* units = qobject_cast<QComboBox*>(Control("units"));
  connect(units, &QComboBox::activated, this,
          [this](int index) { Quietly([&] { editor_.SelectUnit(static_cast<Unit>(index)); }); });
  const auto clicked = [this](const QString& name, auto handler) {
    auto* button = qobject_cast<QAbstractButton*>(Control(name.toUtf8()));
    connect(button, &QAbstractButton::clicked, this, [this, handler](bool checked) { Quietly([&] { handler(checked); }); });
  };
  for (int k = 0; k < 3; ++k) {
    clicked(Named("HomeOption", k), [this, k](bool) { editor_.ChoosePowerUp(k); });
    clicked(Named("HomehsLim", k), [this, k](bool) { editor_.ChooseHomeMethod(k); });
  }
  for (int k = 0; k < 2; ++k) clicked(Named("FaultAction", k), [this, k](bool) { editor_.ChooseFaultAction(k); });
  for (int box : {3, 4}) clicked(Named("HomeChecked", box), [this, box](bool checked) { editor_.CheckHome(box, checked); });
  clicked("Invert", [this](bool checked) { editor_.CheckInvert(checked); });
  clicked("Command5", [this](bool) { editor_.SwitchScreen(); });
  clicked("Command7", [this](bool) { editor_.SwitchHomePanel(); });
  for (int i = 0; i < 16; ++i) {
    clicked(Named("Record", i), [this, i](bool) {
      // The present position, as Position shows it, into the function's Data.
      const QString position = qobject_cast<QLabel*>(Control("Position"))->text();
      const FieldId field{FieldGroup::Data, i};
      editor_.GotFocus(field);
      editor_.TextChanged(field, position.toStdString());
      editor_.Accept(field, Key::Enter);
      Control("Picture1")->setFocus();
    });
  }
  auto* tuner = qobject_cast<QSlider*>(Control("Tuner"));
  // The user's moves only (drag, keys, wheel), not the window's own settings of it.
  connect(tuner, &QSlider::actionTriggered, this, [this, tuner](int) {
    Quietly([&] { editor_.SetGains(SliderGains(tuner->sliderPosition(), editor_.Settings().gains)); });
  });
}

void FenwaWindow::closeEvent(QCloseEvent* event) {
  poll_.stop();
  // A transfer under way ends as it would; only then do the motors go.
  view_->Detach();
  session_.Drain();
  if (!options_.windowSettings.empty())
    SavePosition(options_.windowSettings, {Twips(y(), *this), Twips(x(), *this)});
  for (QWidget* window : {motorValues_, notices_, commandLog_}) window->close();
  event->accept();
}

void FenwaWindow::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange && !isActiveWindow() && !options_.windowSettings.empty())
    WriteMoveState(options_.windowSettings, MoveState::Deactivated);
  QMainWindow::changeEvent(event);
}

}  // namespace velkor::setup::ui
