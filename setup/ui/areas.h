#pragma once
// The widgets of the setup window, each named as the setup logic names its
// control ("PrePos(3)"), so that the logic's view and the tests find them.
// Building only: the window connects them to the logic.

#include <QString>
#include <QWidget>
#include <string_view>

namespace velkor::setup::ui {

// "PrePos" and 3 give "PrePos(3)".
QString Named(const char* control, int index);

inline QString Text(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<int>(text.size())); }

// A widget named `name` (and captioned, where it has a caption).
template <class Widget>
Widget* Make(QWidget* parent, const QString& name, const QString& text = {}) {
  auto* widget = new Widget(parent);
  widget->setObjectName(name);
  if constexpr (requires { widget->setText(text); }) {
    if (!text.isEmpty()) widget->setText(text);
  }
  return widget;
}

// The settings: the data table and the advanced settings in one place, the
// home-method panel inside the latter, and beside them what is always shown
// (gains, scale, units, resolution, motor information, transfer buttons).
QWidget* BuildSettingsArea(QWidget* parent);
// Motor selection, status, inputs, jog, command buttons, terminal, tuning.
QWidget* BuildLiveArea(QWidget* parent);

// The secondary windows: "FenwaMV", "FenwaMyNotices", "Fenwaout" and the splash.
QWidget* BuildMotorValuesWindow(QWidget* owner);
QWidget* BuildNoticesWindow(QWidget* owner);
QWidget* BuildCommandLogWindow(QWidget* owner);
QWidget* BuildSplash(const QString& title);

}  // namespace velkor::setup::ui
