#pragma once
// The live plot: position, position error and speed of the selected motor
// against time, drawn from what the plot's poll took. It keeps the last
// seconds the user chose, says how often the line was really read, pauses
// and resumes, and writes what it keeps to a CSV file.

#include <QTimer>
#include <QWidget>
#include <array>
#include <filesystem>
#include <functional>
#include <vector>

#include "setup/live/sample_trace.h"

class QChartView;
class QLineSeries;
class QValueAxis;

namespace velkor::setup::ui {

class PlotWindow : public QWidget {
  Q_OBJECT

 public:
  // `settings`: the screen's settings, for the user's unit.
  PlotWindow(QWidget* owner, std::function<AxisSettings()> settings);

  // Open and not paused: the poll should take samples for it.
  bool Taking() const { return isVisible() && !paused_; }
  // Samples from the poll, in time order.
  void Append(const std::vector<Sample>& samples);
  const SampleTrace& Trace() const { return trace_; }
  // False, with the reason in `failure`, when the file could not be written.
  bool ExportTo(const std::filesystem::path& file, std::string& failure) const;

 signals:
  void takingChanged();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  struct Curve {
    QChartView* view = nullptr;
    QLineSeries* series = nullptr;
    QValueAxis* time = nullptr;
    QValueAxis* values = nullptr;
  };
  Curve MakeCurve(const QString& name);
  void Redraw();
  void Export();

  std::function<AxisSettings()> settings_;
  SampleTrace trace_;
  bool paused_ = false;
  bool changed_ = false;
  std::array<Curve, 3> curves_;  // position, error, speed
  QTimer redraw_;
};

}  // namespace velkor::setup::ui
