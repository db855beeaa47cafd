#pragma once
// The setup application's main window. Its widgets forward the user's
// events to the setup logic (the settings editor, the live sequences) and
// show what the logic decides through the view; every exchange with a motor
// runs in the motor session, so the window never waits on a line.

#include <QMainWindow>
#include <QTimer>
#include <QUndoStack>
#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "setup/live/command_log.h"
#include "setup/live/scan.h"
#include "setup/live/session.h"
#include "setup/live/status_monitor.h"
#include "setup/live/test_moves.h"
#include "setup/model/editor.h"
#include "setup/transfer/engine_channel.h"
#include "setup/ui/qt_view.h"

namespace velkor::setup::ui {

class PlotWindow;

struct WindowOptions {
  std::filesystem::path program;            // the motor program downloads store (Fenwa.vqx)
  std::filesystem::path windowSettings;     // "FenwaSU.ini"
  std::filesystem::path axisDataFolder;     // where the file dialogs start
  std::optional<std::vector<int>> scanPorts;  // COM numbers to scan; all when none
  bool splash = true;
  // Our own settings (the backup before a download); none: not kept.
  std::filesystem::path preferences;
  int pollMilliseconds = 100;
  Clock* clock = nullptr;  // the transfers' pauses; real ones when none
  // Chooses the file to save before a download (empty: not saved) and to
  // open; the file dialogs when not set.
  std::function<std::filesystem::path(bool save)> chooseFile;
};

class FenwaWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit FenwaWindow(WindowOptions options);
  ~FenwaWindow() override;

  QtView& Viewer() { return *view_; }
  const SettingsEditor& Editor() const { return editor_; }
  MotorSession& Session() { return session_; }
  QWidget* Control(const char* name) const { return view_->Find(name); }
  // The live plot, once it has been opened.
  PlotWindow* Plot() const { return plot_; }

  bool OpenFile(const std::filesystem::path& file);
  bool SaveFile(const std::filesystem::path& file);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void BuildMenus();
  // The file dialogs, starting in the axis data folder (empty: cancelled).
  std::filesystem::path ChooseFile(bool save);
  void ConnectSettings();
  void ConnectLive();
  void Watch(QWidget& widget);  // help line, fields and press/release buttons
  bool FieldEvent(FieldId field, QEvent* event);
  bool ButtonEvent(QWidget& widget, const QString& control, int index, QEvent* event);
  // The logic's calls to the view must not feed back into it as events.
  // `step`: an edit the user may undo, once the model shows its result.
  void Quietly(const std::function<void()>& call, bool step = true);
  void Recorded();

  // Motor side; everything runs as session jobs.
  void Scan();
  void SelectMotor(int listIndex);
  void Tick();
  void Download();
  void Upload();
  void Compare();
  void ShowPlot();
  // Why the ports of the last scan gave no motor: on the user's request,
  // and after a scan that found none.
  void Diagnose();
  void ShowDiagnosis();  // in a session job
  void StepResponse();
  // Our own controls beside the prescribed ones: ready with the motor.
  void SetAdditionsReady(bool ready);
  void GoPressed(int function);
  void GoReleased(int function);
  void JogPressed(JogButton button);
  void JogReleased();
  void CommandPressed(int button);
  void HomeReleased();
  void TerminalEnter();
  void SendTuning(bool defaults);
  void SetBusy(bool busy);
  JogControls Jog() const;
  std::string PortText() const;
  Clock& Pauses() const;  // the transfers' pauses: the options' clock, else real ones

  WindowOptions options_;
  std::unique_ptr<QtView> view_;
  SettingsEditor editor_;
  QWidget* motorValues_ = nullptr;
  QWidget* notices_ = nullptr;
  QWidget* commandLog_ = nullptr;
  QTimer poll_;
  bool quiet_ = false;
  // Undo and redo of the model: each step from one state the user saw to the next.
  QUndoStack undo_;
  AxisSettings shown_;          // the state of the last step
  AxisSettings revertTo_;      // where an undo or redo goes, once the stack has moved
  bool reverting_ = false;

  // Shared with the session's jobs: touched only there once a motor is chosen.
  MotorScan scan_;
  LiveState live_;
  std::unique_ptr<EngineChannel> channel_;
  std::unique_ptr<CommandLog> log_;
  std::unique_ptr<TestMoves> moves_;
  int selectedPort_ = 0;  // the window's own copy, for the texts that name the port
  bool motorChosen_ = false;
  // The live plot: while it takes samples, the poll reads for it alone, in
  // bursts that end when a job waits or the screen's settings change.
  PlotWindow* plot_ = nullptr;
  std::atomic<bool> plotting_ = false;
  std::atomic<unsigned> plotSettingsChanges_ = 0;
  AxisSettings plotSettings_;
  MotorSession session_;  // last: its worker ends before the rest goes
};

}  // namespace velkor::setup::ui
