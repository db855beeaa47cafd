#include "setup/ui/screenshots.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>

#include "setup/ui/fenwa_window.h"

namespace velkor::setup::ui {
namespace {

bool Save(QWidget& widget, const QString& file, QStringList& written) {
  widget.repaint();
  if (!widget.grab().save(file)) return false;
  written << file;
  return true;
}

}  // namespace

void TakeScreenshots(FenwaWindow& window, const QString& folder, std::function<void(QStringList)> done) {
  QDir().mkpath(folder);
  qobject_cast<QAbstractButton*>(window.Control("Picture3"))->click();
  auto* waited = new QElapsedTimer;
  waited->start();
  auto* timer = new QTimer(&window);
  QObject::connect(timer, &QTimer::timeout, &window, [&window, folder, done, timer, waited] {
    const bool found = qobject_cast<QComboBox*>(window.Control("SelMotCombo"))->count() > 0;
    // The scan, then the selection and a few polls, so that the status shows.
    if ((!found || waited->elapsed() < 3000) && waited->elapsed() < 30000) return;
    timer->stop();
    timer->deleteLater();
    delete waited;
    QStringList written;
    const QString at = folder + QDir::separator();
    Save(window, at + "fenwa-data-table.png", written);
    qobject_cast<QAbstractButton*>(window.Control("Command5"))->click();
    Save(window, at + "fenwa-advanced-settings.png", written);
    qobject_cast<QAbstractButton*>(window.Control("Command7"))->click();
    Save(window, at + "fenwa-home-method.png", written);
    for (const char* name : {"FenwaMV", "Fenwaout"}) {
      if (QWidget* other = window.Viewer().Find(std::string(name) + "." + name)) {
        other->show();
        Save(*other, at + QString(name).toLower() + ".png", written);
      }
    }
    // The live plot, once it has drawn a second and a half of samples.
    window.findChild<QAction*>("mnuLivePlot")->trigger();
    QTimer::singleShot(1500, &window, [&window, at, done, written]() mutable {
      if (QWidget* plot = window.findChild<QWidget*>("LivePlot")) Save(*plot, at + "fenwa-live-plot.png", written);
      done(written);
    });
  });
  timer->start(200);
}

}  // namespace velkor::setup::ui
