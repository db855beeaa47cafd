#include "setup/ui/step_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPen>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include "setup/ui/areas.h"

namespace velkor::setup::ui {

StepDialog::StepDialog(QWidget* parent, const StepRecord& record, const std::vector<std::string>& figures,
                       const AxisSettings& settings)
    : QDialog(parent) {
  setObjectName("StepResponseDialog");
  setWindowTitle("Step Response");
  auto* layout = new QVBoxLayout(this);

  const PlotCurves curves = CurvesOf(record.samples, settings, false, record.moveStart);
  auto* chart = new QChart;
  chart->setTitle("Position (" + Text(curves.positionUnit) + ")");
  auto* position = new QLineSeries(chart);
  position->setName("Position");
  for (const PlotPoint& point : curves.position) position->append(point.time, point.value);
  auto* target = new QLineSeries(chart);
  target->setName("Target");
  target->setPen(QPen(Qt::darkGray, 1, Qt::DashLine));
  const double end = curves.position.empty() ? 1 : curves.position.back().time;
  const double targetValue = record.target * UserUnitsPerCount(settings);
  target->append(0, targetValue);
  target->append(end, targetValue);
  chart->addSeries(position);
  chart->addSeries(target);
  chart->createDefaultAxes();
  // The sample taken just before the command sits at the origin.
  auto* time = qobject_cast<QValueAxis*>(chart->axes(Qt::Horizontal).value(0));
  time->setRange(0, end);
  time->setTitleText("s since the move was commanded");
  auto* view = new QChartView(chart, this);
  view->setObjectName("StepCurve");
  view->setMinimumSize(560, 320);
  layout->addWidget(view, 1);

  QStringList lines;
  for (const std::string& line : figures) lines << Text(line);
  auto* text = Make<QLabel>(this, "StepFigures", lines.join('\n'));
  text->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(text);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

}  // namespace velkor::setup::ui
