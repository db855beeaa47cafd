// The window with a simulated motor: the scan and selection, the status
// poll, a download and an upload in the motor session while the window
// stays responsive, and test moves and jogging that reach the motor.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QtTest>
#include <algorithm>

#include "setup/files/axis_file.h"
#include "setup/ui/fenwa_window.h"
#include "setup/ui/plot_window.h"
#include "sim/frontend/registry_directory.h"
#include "sim/frontend/simulator.h"
#include "tests/support/test_environment.h"

namespace velkor::setup::ui {
class WindowMotorTest : public QObject {
  Q_OBJECT

  template <class Widget = QWidget>
  Widget* C(const char* name) const {
    return qobject_cast<Widget*>(window_->Control(name));
  }
  QString Shown(const char* label) const { return C<QLabel>(label)->text(); }
  long Received(const std::string& line) {
    return simulator_->WithMotor(0, 0, [&](sim::Firmware& m) {
      return static_cast<long>(std::count(m.ReceivedLines().begin(), m.ReceivedLines().end(), line));
    });
  }

  velkor::testing::TemporaryRegistry registry_;
  velkor::testing::TemporaryFolder folder_;
  sim::RegistryPortDirectory directory_;
  std::unique_ptr<sim::Simulator> simulator_;
  RecordingClock clock_;
  std::unique_ptr<FenwaWindow> window_;
  std::vector<Message> messages_;

 private slots:
  void initTestCase() {
    auto parsed = sim::ParseScenario("port chain\nmotor serial=A1301 model=SV2315D resolution=2000\n");
    QVERIFY(parsed.errors.empty());
    std::string error;
    simulator_ = sim::Simulator::Start(parsed.scenario, &directory_, error);
    QVERIFY2(simulator_, error.c_str());
    WindowOptions options;
    options.program = folder_.path() / "missing.vqx";
    options.windowSettings = folder_.path() / "FenwaSU.ini";
    options.axisDataFolder = folder_.path();
    options.scanPorts = std::vector<int>{std::stoi(simulator_->PortName(0).substr(3))};
    options.splash = false;
    options.clock = &clock_;
    options.chooseFile = [this](bool) { return folder_.path() / "bench.adf"; };
    window_ = std::make_unique<FenwaWindow>(options);
    window_->Viewer().messageHook = [this](const Message& message) { messages_.push_back(message); };
    window_->show();
  }
  void cleanupTestCase() { window_.reset(); }

  void aScanListsTheMotorAndSelectsIt() {
    QTest::mouseClick(C<QAbstractButton>("Picture3"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(C<QComboBox>("SelMotCombo")->count(), 1, 20000);
    QCOMPARE(C<QComboBox>("SelMotCombo")->itemText(0), QString::fromStdString(simulator_->PortName(0)).replace("COM", "Com") + " Motor 1");
    QTRY_COMPARE(Shown("MInfo(1)"), QString("A1301"));
    QCOMPARE(Shown("MInfo(0)"), QString("SV2315D"));
    QCOMPARE(Shown("SelMotLbl"), QString("Select any of 1 Motors Found"));
    QTRY_VERIFY(C("Gothere(0)")->isEnabled());
    QVERIFY(C("DataDownload")->isVisible());
  }

  void thePollShowsPositionAndInputs() {
    simulator_->WithMotor(0, 0, [](sim::Firmware& m) {
      m.Command("O=4000");
      m.SetInput('A', false);
      return m.SetInput('C', false);
    });
    QTRY_COMPARE_WITH_TIMEOUT(Shown("Position"), QString("2"), 5000);  // 2000 counts a mm
    QTRY_COMPARE_WITH_TIMEOUT(Shown("bcdi"), QString("5"), 5000);
    QVERIFY(C("InputLight(1)")->property("lit").toBool());
    QVERIFY(!C("InputLight(2)")->property("lit").toBool());
  }

  void aDownloadAndAnUploadRunWhileTheWindowStaysResponsive() {
    // A motor program of our own making: the window's is not needed here.
    velkor::testing::WriteFile(folder_.path() / "missing.vqx", "");
    auto* download = C<QAbstractButton>("DataDownload");
    // The longest the event loop went without running a timer.
    QElapsedTimer sinceLast;
    qint64 longest = 0;
    bool disabledMeanwhile = false;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout, [&] {
      longest = std::max(longest, sinceLast.restart());
      disabledMeanwhile = disabledMeanwhile || !C("Gothere(0)")->isEnabled();
    });
    C<QLineEdit>("PrePos(2)")->setFocus();
    QTest::keyClicks(C<QLineEdit>("PrePos(2)"), "3");
    QTest::keyClick(C<QLineEdit>("PrePos(2)"), Qt::Key_Return);
    sinceLast.start();
    beat.start(10);
    download->click();
    QTRY_COMPARE_WITH_TIMEOUT(Shown("MStat"), QString("Download Failure"), 30000);  // an empty program fails
    QTRY_VERIFY(C("Gothere(0)")->isEnabled());

    // The program in place (as a motor that holds it answers), the data goes in.
    const std::string image = velkor::testing::ReadFile(FENWA_PROGRAM);
    velkor::testing::WriteFile(folder_.path() / "missing.vqx", image);
    simulator_->WithMotor(0, 0, [&](sim::Firmware& m) { return m.LoadImage(image, false); });
    disabledMeanwhile = false;
    download->click();
    QTRY_COMPARE_WITH_TIMEOUT(Shown("MStat"), QString("Download Complete"), 30000);
    QVERIFY(disabledMeanwhile);
    QTRY_COMPARE(Shown("MInfo(6)"), QString("bench.adf"));
    beat.stop();
    QVERIFY2(longest < 100, qPrintable(QString("the window waited %1 ms").arg(longest)));

    C<QLineEdit>("PrePos(2)")->setFocus();
    QTest::keyClicks(C<QLineEdit>("PrePos(2)"), "0");
    QTest::keyClick(C<QLineEdit>("PrePos(2)"), Qt::Key_Return);
    C<QAbstractButton>("DataUpload")->click();
    QTRY_COMPARE_WITH_TIMEOUT(Shown("MStat"), QString("Upload Complete"), 30000);
    QTRY_COMPARE(C<QLineEdit>("PrePos(2)")->text(), QString("3"));
  }

  void compareListsWhatDiffersAndABackupKeepsWhatTheMotorHeld() {
    C<QLineEdit>("PrePos(2)")->setFocus();
    C<QLineEdit>("PrePos(2)")->selectAll();
    QTest::keyClicks(C<QLineEdit>("PrePos(2)"), "1");
    QTest::keyClick(C<QLineEdit>("PrePos(2)"), Qt::Key_Return);
    C<QAbstractButton>("CompareMotor")->click();
    QDialog* dialog = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((dialog = window_->findChild<QDialog*>("CompareMotorDialog")) != nullptr, 30000);
    auto* list = dialog->findChild<QListWidget*>("Differences");
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(), QString("Data(2): 1 | 3"));
    QCOMPARE(list->item(1)->text(), QString("MotorData(2): 2000 | 6000"));
    dialog->findChild<QAbstractButton*>("TakeMotor")->click();
    QCOMPARE(C<QLineEdit>("PrePos(2)")->text(), QString("3"));

    QVERIFY(C<QAbstractButton>("BackupFirst")->isChecked());
    C<QAbstractButton>("DataDownload")->click();
    QTRY_COMPARE_WITH_TIMEOUT(Shown("MStat"), QString("Download Complete"), 30000);
    const auto backups = folder_.path() / "backups";
    QTRY_VERIFY(std::filesystem::exists(backups) && !std::filesystem::is_empty(backups));
    const auto file = std::filesystem::directory_iterator(backups)->path();
    QVERIFY(file.filename().string().starts_with("A1301-"));
    QCOMPARE(OpenAxisFile(file).settings->functions[2].data, std::string("3"));
    QTRY_VERIFY(Shown("DH").contains("backups"));
  }

  void goAndJogButtonsReachTheMotor() {
    simulator_->WithMotor(0, 0, [](sim::Firmware& m) { return m.Command("h=1"); });
    auto* go = C<QAbstractButton>("Gothere(2)");
    QTest::mousePress(go, Qt::LeftButton);
    QTRY_VERIFY(Received("ZS G"));
    QTest::mouseRelease(go, Qt::LeftButton);
    QTRY_VERIFY(Received("X"));
    C<QCheckBox>("StopOnRelease")->setChecked(true);
    auto* jog = C<QAbstractButton>("JogSlowPos");
    QTest::mousePress(jog, Qt::LeftButton);
    QTRY_VERIFY(Received("MV V=10000 G"));
    const long stops = Received("X");
    QTest::mouseRelease(jog, Qt::LeftButton);
    QTRY_COMPARE(Received("X"), stops + 1);
  }

  void theLivePlotAndAStepResponseMeasureTheMotor() {
    C<QAbstractButton>("LivePlot")->click();
    PlotWindow* plot = window_->Plot();
    QTRY_VERIFY_WITH_TIMEOUT(plot->Trace().Samples().size() > 20, 10000);
    QTRY_VERIFY(plot->findChild<QLabel*>("PlotTiming")->text().contains(" samples/s, largest gap "));
    plot->findChild<QAbstractButton*>("PlotPause")->click();
    const std::size_t kept = plot->Trace().Samples().size();
    QTest::qWait(300);
    QCOMPARE(plot->Trace().Samples().size(), kept);
    std::string failure;
    QVERIFY2(plot->ExportTo(folder_.path() / "plot.csv", failure), failure.c_str());
    const std::string csv = velkor::testing::ReadFile(folder_.path() / "plot.csv");
    QVERIFY(csv.starts_with("time (s),position (mm),position error (mm),speed (mm/s),position (counts)"));
    QCOMPARE(static_cast<std::size_t>(std::count(csv.begin(), csv.end(), '\n')), kept + 1);
    plot->close();

    for (const auto& [field, value] : {std::pair{"PrePos(2)", "8"}, {"PreVel(2)", "10"}, {"PreAcc(2)", "100"}}) {
      C<QLineEdit>(field)->setFocus();
      C<QLineEdit>(field)->selectAll();
      QTest::keyClicks(C<QLineEdit>(field), value);
      QTest::keyClick(C<QLineEdit>(field), Qt::Key_Return);
    }
    C<QSpinBox>("StepFunction")->setValue(2);
    C<QAbstractButton>("StepResponse")->click();
    QDialog* dialog = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((dialog = window_->findChild<QDialog*>("StepResponseDialog")) != nullptr, 20000);
    const QString figures = dialog->findChild<QLabel*>("StepFigures")->text();
    QVERIFY2(figures.startsWith("Rise time (10-90 %): ") && !figures.contains("not reached"), qPrintable(figures));
    dialog->close();
  }
};

}  // namespace velkor::setup::ui

QTEST_MAIN(velkor::setup::ui::WindowMotorTest)
#include "window_motor_test.moc"
