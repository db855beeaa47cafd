// The window after a scan that found no motor: it says, per port, why, and
// what to do; here a motor that answers only at 57600 baud.
#include <QAbstractButton>
#include <QDialog>
#include <QPlainTextEdit>
#include <QtTest>

#include "setup/ui/fenwa_window.h"
#include "sim/frontend/registry_directory.h"
#include "sim/frontend/simulator.h"
#include "tests/support/test_environment.h"

namespace velkor::setup::ui {

class WindowDiagnosisTest : public QObject {
  Q_OBJECT

  velkor::testing::TemporaryRegistry registry_;
  velkor::testing::TemporaryFolder folder_;
  sim::RegistryPortDirectory directory_;
  std::unique_ptr<sim::Simulator> simulator_;

 private slots:
  void aScanThatFindsNothingSaysWhyPerPort() {
    auto parsed = sim::ParseScenario("port chain\nmotor baud=57600\n");
    QVERIFY(parsed.errors.empty());
    std::string error;
    simulator_ = sim::Simulator::Start(parsed.scenario, &directory_, error);
    QVERIFY2(simulator_, error.c_str());
    WindowOptions options;
    options.windowSettings = folder_.path() / "FenwaSU.ini";
    options.axisDataFolder = folder_.path();
    const int port = std::stoi(simulator_->PortName(0).substr(3));
    options.scanPorts = std::vector<int>{port};
    options.splash = false;
    FenwaWindow window(options);
    std::vector<Message> messages;
    window.Viewer().messageHook = [&](const Message& message) { messages.push_back(message); };
    window.show();

    qobject_cast<QAbstractButton*>(window.Control("Picture3"))->click();
    QDialog* dialog = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((dialog = window.findChild<QDialog*>("ConnectionDiagnostics")) != nullptr, 60000);
    QCOMPARE(messages.size(), std::size_t{1});  // the scan's own message stays as it was
    const QString report = dialog->findChild<QPlainTextEdit*>("ReportText")->toPlainText();
    QVERIFY2(report.startsWith(QString("COM%1 (").arg(port)) && report.contains("57600"), qPrintable(report));
  }
};

}  // namespace velkor::setup::ui

QTEST_MAIN(velkor::setup::ui::WindowDiagnosisTest)
#include "window_diagnosis_test.moc"
