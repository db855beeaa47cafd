// The settings screen as a user meets it: start-up state, the mode table,
// the input rules with their message boxes, the focus order, the option
// logic, panels, help line, title and files. No motor.
#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QStackedWidget>
#include <QtTest>

#include "setup/files/axis_file.h"
#include "setup/ui/fenwa_window.h"
#include "tests/support/test_environment.h"

namespace velkor::setup::ui {

class WindowSettingsTest : public QObject {
  Q_OBJECT

  std::unique_ptr<FenwaWindow> Open() {
    WindowOptions options;
    options.windowSettings = folder_.path() / "FenwaSU.ini";
    options.axisDataFolder = folder_.path();
    options.splash = false;
    auto window = std::make_unique<FenwaWindow>(options);
    window->Viewer().messageHook = [this](const Message& message) { messages_.push_back(message); };
    window->show();
    QApplication::setActiveWindow(window.get());
    return window;
  }
  template <class Widget = QWidget>
  Widget* C(const char* name) const {
    return qobject_cast<Widget*>(window_->Control(name));
  }
  QString Focused() const { return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : ""; }
  void Type(const char* field, const QString& text, Qt::Key key = Qt::Key_Return) {
    auto* edit = C<QLineEdit>(field);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, key);
  }
  void Choose(const char* list, int index) {
    auto* combo = C<QComboBox>(list);
    combo->setCurrentIndex(index);
    emit combo->activated(index);
  }

  velkor::testing::TemporaryRegistry registry_;
  velkor::testing::TemporaryFolder folder_;
  std::unique_ptr<FenwaWindow> window_;
  std::vector<Message> messages_;

 private slots:
  void init() {
    messages_.clear();
    window_ = Open();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
  }
  void cleanup() { window_.reset(); }

  void startsAsTheSettingsScreenSays() {
    QCOMPARE(window_->windowTitle(), QString("Fenwa v2.004 :"));
    QCOMPARE(C<QAbstractButton>("Command5")->text(), QString("Show Advanced Settings"));
    auto* mode = C<QComboBox>("Motion(0)");
    QCOMPARE(mode->count(), 8);
    QCOMPARE(mode->itemText(3), QString("E-Limit"));
    QCOMPARE(mode->toolTip(), QString("Select Mode Of Operation"));
    QCOMPARE(C<QLineEdit>("PrePos(15)")->text(), QString("0"));
    QCOMPARE(C<QLineEdit>("pid(2)")->text(), QString("550"));
    QCOMPARE(C<QLabel>("UnitAcc(0)")->text(), QString("mm/s^2"));
    QCOMPARE(C<QLabel>("FenwaMV.LimVals(2)")->text(), QString("1023"));
    QVERIFY(C("DataDownload")->isHidden());
    QVERIFY(!C("Gothere(0)")->isEnabled());
    QVERIFY(!C("JogFrame")->isEnabled());
    QVERIFY(C("HomeSettings")->isHidden());
    QCOMPARE(C<QStackedWidget>("SettingsPlace")->currentWidget(), C("Presets"));
    QCOMPARE(C("HomePic")->property("image").toInt(), 1);
  }

  void theModeTableAppliesToItsFunction() {
    Choose("Motion(4)", 4);  // Torque
    QVERIFY(C("PrePos(4)")->isEnabled());
    QVERIFY(!C("PreVel(4)")->isEnabled());
    QCOMPARE(C<QLabel>("UnitPos(4)")->text(), QString("%T"));
    Choose("Motion(5)", 2);  // Velocity: no data
    QVERIFY(!C("PrePos(5)")->isEnabled());
    Choose("Motion(6)", 6);  // OFF
    QVERIFY(C("NoGo(6)")->isHidden());
    QCOMPARE(C<QLabel>("UnitVel(6)")->text(), QString(" Release Holding Torque"));
    QVERIFY(window_->Editor().Settings().changesMade);
  }

  void rejectedTextIsRestoredAndTheKeysMoveTheFocus() {
    Type("PrePos(0)", "abc");
    QCOMPARE(messages_.size(), std::size_t{1});
    QCOMPARE(messages_[0].title, std::string("Invalid Input"));
    QCOMPARE(C<QLineEdit>("PrePos(0)")->text(), QString("0"));
    Type("PrePos(0)", "12.3456", Qt::Key_Down);
    QCOMPARE(C<QLineEdit>("PrePos(0)")->text(), QString("12.346"));
    QCOMPARE(C<QLabel>("FenwaMV.mpos(0)")->text(), QString("24692"));
    QCOMPARE(Focused(), QString("PrePos(1)"));
    Choose("Motion(2)", 2);  // Velocity: its data field is skipped
    Type("PrePos(1)", "1", Qt::Key_Down);
    QCOMPARE(Focused(), QString("PrePos(3)"));
    Type("PreAcc(3)", "999999");
    QCOMPARE(messages_.back().text, std::string("Accel Set Too High!!"));
  }

  void optionsPanelsAndTheHomePicture() {
    QTest::mouseClick(C<QAbstractButton>("Command5"), Qt::LeftButton);
    QCOMPARE(C<QStackedWidget>("SettingsPlace")->currentWidget(), C("ExtOpt"));
    QCOMPARE(C<QAbstractButton>("Command5")->text(), QString("Show Data Table"));
    QTest::mouseClick(C<QAbstractButton>("Command7"), Qt::LeftButton);
    QVERIFY(C("HomeSettings")->isVisible());
    QCOMPARE(C<QAbstractButton>("Command7")->text(), QString("Hide Home Method"));
    QVERIFY(!C("HomeChecked(3)")->isEnabled());
    C<QAbstractButton>("HomehsLim(2)")->click();
    QVERIFY(C("HomeChecked(3)")->isEnabled());
    C<QAbstractButton>("HomeChecked(4)")->click();
    QCOMPARE(C<QAbstractButton>("HomehsLim(2)")->text(), QString("Home to Limit Switch (Port D)"));
    QCOMPARE(C<QLabel>("FenwaMV.HomeOps")->text(), QString("20"));
    QCOMPARE(C("HomePic")->property("image").toInt(), 7);
    C<QAbstractButton>("HomehsLim(0)")->click();
    QVERIFY(!C<QAbstractButton>("HomeChecked(4)")->isChecked());
    QCOMPARE(C("HomePic")->property("image").toInt(), 1);
  }

  void theTuningSliderSetsFourGainsWhenTheUserMovesIt() {
    auto* slider = C<QSlider>("Tuner");
    slider->setValue(99);
    QCOMPARE(C<QLineEdit>("pid(1)")->text(), QString("28"));  // the window's own setting changes nothing
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Right);
    QCOMPARE(C<QLineEdit>("pid(1)")->text(), QString("92"));
    QCOMPARE(C<QLineEdit>("pid(2)")->text(), QString("1266"));
    QCOMPARE(C<QLineEdit>("pid(4)")->text(), QString("450"));
    QCOMPARE(C<QLineEdit>("pid(0)")->text(), QString("42"));
  }

  void undoTakesBackOneStepAtATimeAndTheTitleFollows() {
    QVERIFY(window_->SaveFile(folder_.path() / "u.adf"));
    Choose("Motion(4)", 4);  // Torque
    Type("PreVel(1)", "5");
    QCOMPARE(window_->windowTitle(), QString("Fenwa v2.004 :u.adf: ! Changes Made !"));
    auto* undo = window_->findChild<QAction*>("mnuUndo");
    undo->trigger();
    QCOMPARE(C<QLineEdit>("PreVel(1)")->text(), QString("0"));
    QCOMPARE(C<QComboBox>("Motion(4)")->currentIndex(), 4);
    undo->trigger();
    QCOMPARE(C<QComboBox>("Motion(4)")->currentIndex(), 0);
    QVERIFY(C("PreVel(4)")->isEnabled());
    QCOMPARE(C<QLabel>("UnitPos(4)")->text(), QString("mm"));
    QCOMPARE(window_->windowTitle(), QString("Fenwa v2.004 :u.adf"));  // back at the state saved
    window_->findChild<QAction*>("mnuRedo")->trigger();
    QCOMPARE(C<QLabel>("UnitPos(4)")->text(), QString("%T"));
    QCOMPARE(window_->windowTitle(), QString("Fenwa v2.004 :u.adf: ! Changes Made !"));
  }

  void theHelpLineFollowsTheMouse() {
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(C("PreVel(2)"), &enter);
    QCOMPARE(C<QLabel>("DH")->text(), QString("Enter Desired Velocity"));
    QApplication::sendEvent(C("HomeOption(1)"), &enter);
    QCOMPARE(C<QLabel>("DH")->text(), QString("Motor Waits for First Go signal to Call Home Routine."));
  }

  void openAfterSaveRestoresEveryFieldAndTheTitleMarksChanges() {
    Choose("Motion(3)", 1);
    Type("PrePos(3)", "-7.25");
    Type("pid(0)", "60");
    Choose("units", 2);
    C<QAbstractButton>("FaultAction(1)")->click();
    const auto file = folder_.path() / "x-axis.adf";
    QVERIFY(window_->SaveFile(file));
    QCOMPARE(window_->windowTitle(), QString("Fenwa v2.004 :x-axis.adf"));
    Type("PreVel(3)", "3");
    QCOMPARE(window_->windowTitle(), QString("Fenwa v2.004 :x-axis.adf: ! Changes Made !"));

    const AxisSettings saved = OpenAxisFile(file).settings.value();
    auto other = Open();
    QVERIFY(other->OpenFile(file));
    std::swap(window_, other);
    QCOMPARE(C<QComboBox>("Motion(3)")->currentIndex(), 1);
    QCOMPARE(C<QLineEdit>("PrePos(3)")->text(), QString("-7.25"));
    QCOMPARE(C<QLineEdit>("pid(0)")->text(), QString("60"));
    QCOMPARE(C<QComboBox>("units")->currentIndex(), 2);
    QVERIFY(C<QAbstractButton>("FaultAction(1)")->isChecked());
    QCOMPARE(window_->windowTitle(), QString("Fenwa v2.004 :x-axis.adf"));
    QVERIFY(window_->Editor().Settings().functions == saved.functions);
  }
};

}  // namespace velkor::setup::ui

QTEST_MAIN(velkor::setup::ui::WindowSettingsTest)
#include "window_settings_test.moc"
