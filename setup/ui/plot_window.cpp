#include "setup/ui/plot_window.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <fstream>

#include "setup/ui/areas.h"

namespace velkor::setup::ui {
namespace {

// The range a curve's values take, with some room above and below; a flat
// curve gets a few counts of it.
std::pair<double, double> Span(const std::vector<PlotPoint>& points, double count) {
  if (points.empty()) return {-count, count};
  const auto [low, high] = std::minmax_element(points.begin(), points.end(),
                                               [](const PlotPoint& a, const PlotPoint& b) { return a.value < b.value; });
  const double room = std::max((high->value - low->value) * 0.05, 5 * count);
  return {low->value - room, high->value + room};
}

}  // namespace

PlotWindow::PlotWindow(QWidget* owner, std::function<AxisSettings()> settings)
    : QWidget(owner, Qt::Window), settings_(std::move(settings)) {
  setObjectName("LivePlot");
  setWindowTitle("Live Plot");
  auto* layout = new QVBoxLayout(this);
  auto* controls = new QHBoxLayout;
  auto* pause = Make<QPushButton>(this, "PlotPause", "Pause");
  pause->setCheckable(true);
  controls->addWidget(pause);
  controls->addWidget(new QLabel("Keep last", this));
  auto* seconds = Make<QSpinBox>(this, "PlotSeconds");
  seconds->setRange(1, 600);
  seconds->setSuffix(" s");
  seconds->setValue(static_cast<int>(trace_.KeptSeconds()));
  controls->addWidget(seconds);
  auto* counts = Make<QCheckBox>(this, "PlotCounts", "Counts");
  controls->addWidget(counts);
  auto* exportButton = Make<QPushButton>(this, "PlotExport", "Export CSV...");
  controls->addWidget(exportButton);
  controls->addStretch();
  controls->addWidget(Make<QLabel>(this, "PlotTiming", "No samples yet"));
  layout->addLayout(controls);
  for (std::size_t i = 0; i < curves_.size(); ++i) {
    curves_[i] = MakeCurve(QString("PlotCurve(%1)").arg(i));
    layout->addWidget(curves_[i].view, 1);
  }
  resize(760, 620);

  connect(pause, &QPushButton::toggled, this, [this, pause](bool on) {
    paused_ = on;
    pause->setText(on ? "Resume" : "Pause");
    if (!on) trace_.Resume();
    emit takingChanged();
  });
  connect(seconds, &QSpinBox::valueChanged, this, [this](int kept) {
    trace_.Keep(kept);
    changed_ = true;
  });
  connect(counts, &QCheckBox::toggled, this, [this] { changed_ = true; });
  connect(exportButton, &QPushButton::clicked, this, &PlotWindow::Export);
  connect(&redraw_, &QTimer::timeout, this, &PlotWindow::Redraw);
  redraw_.setInterval(100);
}

PlotWindow::Curve PlotWindow::MakeCurve(const QString& name) {
  Curve curve;
  auto* chart = new QChart;
  chart->legend()->hide();
  chart->setMargins(QMargins(4, 4, 4, 4));
  curve.series = new QLineSeries(chart);
  chart->addSeries(curve.series);
  curve.time = new QValueAxis(chart);
  curve.time->setTitleText("s");
  curve.time->setLabelFormat("%.1f");
  curve.values = new QValueAxis(chart);
  curve.values->setLabelFormat("%.6g");
  chart->addAxis(curve.time, Qt::AlignBottom);
  chart->addAxis(curve.values, Qt::AlignLeft);
  curve.series->attachAxis(curve.time);
  curve.series->attachAxis(curve.values);
  curve.view = new QChartView(chart, this);  // the view owns the chart
  curve.view->setObjectName(name);
  curve.view->setMinimumHeight(150);
  return curve;
}

void PlotWindow::Append(const std::vector<Sample>& samples) {
  if (!Taking()) return;
  for (const Sample& sample : samples) trace_.Add(sample);
  changed_ = changed_ || !samples.empty();
}

void PlotWindow::Redraw() {
  if (!changed_) return;
  changed_ = false;
  const bool inCounts = findChild<QCheckBox*>("PlotCounts")->isChecked();
  const AxisSettings settings = settings_();
  const PlotCurves curves = CurvesOf(trace_.Samples(), settings, inCounts);
  const double count = inCounts ? 1 : UserUnitsPerCount(settings);
  const std::array<const std::vector<PlotPoint>*, 3> points = {&curves.position, &curves.error, &curves.speed};
  const std::array<QString, 3> titles = {"Position (" + Text(curves.positionUnit) + ")",
                                         "Position error (" + Text(curves.positionUnit) + ")",
                                         "Speed (" + Text(curves.speedUnit) + ")"};
  const double end = curves.position.empty() ? 0 : curves.position.back().time;
  for (std::size_t i = 0; i < curves_.size(); ++i) {
    QList<QPointF> line;
    line.reserve(static_cast<qsizetype>(points[i]->size()));
    for (const PlotPoint& point : *points[i]) line.append({point.time, point.value});
    curves_[i].series->replace(line);
    curves_[i].view->chart()->setTitle(titles[i]);
    curves_[i].time->setRange(std::max(0.0, end - trace_.KeptSeconds()), std::max(end, 1.0));
    const auto [low, high] = Span(*points[i], count);
    curves_[i].values->setRange(low, high);
  }
  findChild<QLabel*>("PlotTiming")->setText(Text(TimingText(trace_.Timing())));
}

bool PlotWindow::ExportTo(const std::filesystem::path& file, std::string& failure) const {
  // Written beside the file first, so that a failure leaves no half of it.
  std::filesystem::path partial = file;
  partial += ".partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out << CsvOf(trace_.Samples(), settings_());
    out.close();
    if (!out) {
      failure = "cannot write " + partial.string();
      std::error_code ignored;
      std::filesystem::remove(partial, ignored);
      return false;
    }
  }
  std::error_code renamed;
  std::filesystem::rename(partial, file, renamed);
  if (renamed) failure = "cannot write " + file.string() + ": " + renamed.message();
  return !renamed;
}

void PlotWindow::Export() {
  const QString file = QFileDialog::getSaveFileName(this, "Export CSV", {}, "CSV files (*.csv)");
  if (file.isEmpty()) return;
  std::string failure;
  if (!ExportTo(file.toStdString(), failure))
    QMessageBox::warning(this, "Export CSV", QString::fromStdString("The samples were not saved: " + failure));
}

void PlotWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  trace_.Resume();
  redraw_.start();
  emit takingChanged();
}

void PlotWindow::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  redraw_.stop();
  emit takingChanged();
}

}  // namespace velkor::setup::ui
