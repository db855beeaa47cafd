#pragma once
// Pictures of the window for the documentation and for a look at it from a
// terminal: after a scan (and the motor's selection), the data table, the
// advanced settings, the home-method panel, the motor values and the
// command log, as PNG files in `folder`.

#include <QString>
#include <functional>

namespace velkor::setup::ui {

class FenwaWindow;

// Starts the scan and takes the pictures when it has ended; `done` gets
// the files written (none when the folder cannot be written).
void TakeScreenshots(FenwaWindow& window, const QString& folder, std::function<void(QStringList)> done);

}  // namespace velkor::setup::ui
