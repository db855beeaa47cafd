// fenwa: the setup application for one integrated servo motor at a time.
#include <QApplication>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "setup/files/folders.h"
#include "setup/live/port_candidates.h"
#include "setup/ui/fenwa_window.h"
#include "setup/ui/screenshots.h"

namespace {

constexpr const char* kUsage =
    "usage: fenwa [FILE.adf]\n"
    "\n"
    "Sets up one integrated servo motor: edit its sixteen functions, limits, homing and\n"
    "gains in user units, store them in the motor with its program, and test it live.\n"
    "\n"
    "  FILE.adf     open this axis data file at start\n"
    "  --screenshots FOLDER\n"
    "               scan, then save pictures of the window into FOLDER and end\n"
    "  --help       print this help\n"
    "\n"
    "The scan looks at every serial port (COM names of the registry's Ports key, UARTs,\n"
    "USB adapters); VELKOR_SCAN_PORTS=COM1,COM3 confines it. The motor program Fenwa.vqx\n"
    "is taken from beside this program. The window's position is kept in\n"
    "$XDG_CONFIG_HOME/velkor/FenwaSU.ini, axis data files in $XDG_DATA_HOME/velkor/Axis Data Files.\n";

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
  }
  QApplication application(argc, argv);
  application.setApplicationName("fenwa");
  application.setDesktopFileName("fenwa");
  QStringList arguments = application.arguments().mid(1);
  QString screenshots;
  if (arguments.size() == 2 && arguments.front() == "--screenshots") {
    screenshots = arguments.back();
    arguments.clear();
  }
  if (arguments.size() > 1 || (!arguments.isEmpty() && arguments.front().startsWith('-'))) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  velkor::setup::ui::WindowOptions options;
  options.program = std::filesystem::path(QCoreApplication::applicationDirPath().toStdString()) / "Fenwa.vqx";
  options.windowSettings = velkor::setup::WindowSettingsFile();
  options.preferences = options.windowSettings.parent_path() / "fenwa.ini";
  options.axisDataFolder = velkor::setup::AxisDataFolder();
  std::error_code ignored;
  std::filesystem::create_directories(options.axisDataFolder, ignored);
  if (const char* named = std::getenv("VELKOR_SCAN_PORTS"); named && *named) {
    options.scanPorts = velkor::setup::ParsePortList(named);
    if (!options.scanPorts) {
      std::fprintf(stderr, "fenwa: VELKOR_SCAN_PORTS='%s': COM names from COM1 to COM256, separated by commas\n", named);
      return 2;
    }
  }
  options.splash = screenshots.isEmpty();
  velkor::setup::ui::FenwaWindow window(options);
  window.show();
  if (!screenshots.isEmpty()) {
    velkor::setup::ui::TakeScreenshots(window, screenshots, [](const QStringList& written) {
      for (const QString& file : written) std::printf("%s\n", file.toLocal8Bit().constData());
      QCoreApplication::exit(written.isEmpty() ? 1 : 0);
    });
  }
  if (!arguments.isEmpty() && !window.OpenFile(arguments.front().toStdString())) return 1;
  return application.exec();
}
