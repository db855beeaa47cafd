#include "setup/ui/qt_view.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStackedWidget>
#include <QThread>

#include "setup/ui/areas.h"
#include "setup/ui/home_picture.h"

namespace velkor::setup::ui {
namespace {

QMessageBox::Icon IconOf(Icon icon) {
  switch (icon) {
    case Icon::Information: return QMessageBox::Information;
    case Icon::Exclamation: return QMessageBox::Warning;
    case Icon::Critical: return QMessageBox::Critical;
    default: return QMessageBox::NoIcon;
  }
}

void Paint(QWidget& widget, const QString& colour) {
  // The poll repaints every function on each reading: restyle only what changes.
  const QString sheet = colour.isEmpty() ? QString() : QStringLiteral("background-color: %1;").arg(colour);
  if (widget.styleSheet() != sheet) widget.setStyleSheet(sheet);
}

}  // namespace

QtView::QtView(QWidget& main) : main_(&main) {}

void QtView::AddWindow(QWidget& window) { windows_[window.objectName().toStdString()] = &window; }

QWidget* QtView::Find(std::string_view control) const {
  QWidget* window = main_;
  if (const auto dot = control.find('.'); dot != std::string_view::npos) {
    const auto found = windows_.find(control.substr(0, dot));
    if (found == windows_.end()) return nullptr;
    window = found->second;
    control.remove_prefix(dot + 1);
  }
  if (!window) return nullptr;
  if (window->objectName() == Text(control)) return window;
  return window->findChild<QWidget*>(Text(control));
}

void QtView::OnWindowThread(std::function<void()> apply, bool wait) {
  if (!main_) return;
  if (QThread::currentThread() == main_->thread()) {
    apply();
    return;
  }
  if (detached_) return;
  QMetaObject::invokeMethod(main_, std::move(apply), wait ? Qt::BlockingQueuedConnection : Qt::QueuedConnection);
}

void QtView::Apply(std::string_view control, std::function<void(QWidget&)> apply) {
  OnWindowThread([this, name = std::string(control), apply = std::move(apply)] {
    if (QWidget* widget = Find(name)) apply(*widget);
  });
}

void QtView::ShowMessage(const Message& message) {
  OnWindowThread(
      [this, message] {
        if (messageHook) {
          messageHook(message);
          return;
        }
        QMessageBox box(IconOf(message.icon), Text(message.title), Text(message.text), QMessageBox::Ok, main_);
        box.exec();
      },
      true);
}

void QtView::SetTitle(std::string_view title) {
  OnWindowThread([this, text = Text(title)] { main_->setWindowTitle(text); });
}

void QtView::SetText(std::string_view control, std::string_view text) {
  Apply(control, [value = Text(text)](QWidget& widget) {
    if (auto* edit = qobject_cast<QLineEdit*>(&widget)) {
      edit->setText(value);
    } else if (auto* label = qobject_cast<QLabel*>(&widget)) {
      label->setText(value);
    } else if (auto* button = qobject_cast<QAbstractButton*>(&widget)) {
      button->setText(value);
    } else if (auto* frame = qobject_cast<QGroupBox*>(&widget)) {
      frame->setTitle(value);
    } else if (auto* box = qobject_cast<QPlainTextEdit*>(&widget)) {
      // The log follows its end, as new lines come.
      box->setPlainText(QString(value).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
      box->verticalScrollBar()->setValue(box->verticalScrollBar()->maximum());
    } else if (auto* list = qobject_cast<QComboBox*>(&widget)) {
      list->setCurrentText(value);
    } else {
      widget.setWindowTitle(value);
    }
  });
}

void QtView::SetIndex(std::string_view control, int index) {
  Apply(control, [index](QWidget& widget) {
    if (auto* list = qobject_cast<QComboBox*>(&widget)) list->setCurrentIndex(index);
  });
}

void QtView::SetChecked(std::string_view control, bool checked) {
  Apply(control, [checked](QWidget& widget) {
    if (auto* button = qobject_cast<QAbstractButton*>(&widget)) {
      // Option buttons of one group: none chosen is a state the logic knows.
      const bool exclusive = button->autoExclusive();
      if (!checked) button->setAutoExclusive(false);
      button->setChecked(checked);
      button->setAutoExclusive(exclusive);
    } else {
      widget.setProperty("lit", checked);  // an input light
      Paint(widget, checked ? widget.palette().color(QPalette::Highlight).name() : QString());
    }
  });
}

void QtView::SetEnabled(std::string_view control, bool enabled) {
  Apply(control, [enabled](QWidget& widget) { widget.setEnabled(enabled); });
}

void QtView::SetVisible(std::string_view control, bool visible) {
  Apply(control, [visible](QWidget& widget) { widget.setVisible(visible); });
}

void QtView::Focus(std::string_view control) {
  Apply(control, [](QWidget& widget) {
    widget.setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(&widget)) edit->selectAll();
  });
}

void QtView::SetWarning(std::string_view control, bool on) {
  Apply(control, [on](QWidget& widget) { Paint(widget, on ? QStringLiteral("#ffb0b0") : QString()); });
}

void QtView::SetPicture(std::string_view control, int image) {
  Apply(control, [image](QWidget& widget) {
    if (auto* label = qobject_cast<QLabel*>(&widget)) {
      label->setProperty("image", image);
      label->setPixmap(HomePicture(image, label->minimumSize(), label->palette(), label->devicePixelRatioF()));
    }
  });
}

void QtView::BringToFront(std::string_view panel) {
  Apply(panel, [](QWidget& widget) {
    // The data table and the advanced settings share one place.
    if (auto* stack = qobject_cast<QStackedWidget*>(widget.parentWidget())) stack->setCurrentWidget(&widget);
    widget.raise();
  });
}

void QtView::SetHelp(std::string_view text) { SetText("DH", text); }

void QtView::ShowNotices(std::string_view caption, std::string_view line) {
  OnWindowThread([this, caption = std::string(caption), line = std::string(line)] {
    if (noticesShown) noticesShown(caption, line);
  });
}

void QtView::HideNotices() {
  OnWindowThread([this] {
    if (noticesHidden) noticesHidden();
  });
}

void QtView::SetBusy(bool busy) {
  OnWindowThread([this, busy] {
    if (busyChanged) busyChanged(busy);
  });
}

void QtView::SetColour(std::string_view control, std::optional<unsigned> colour) {
  Apply(control, [colour](QWidget& widget) {
    // 0xBBGGRR, as the logic gives colours.
    Paint(widget, colour ? QColor(*colour & 0xFF, (*colour >> 8) & 0xFF, (*colour >> 16) & 0xFF).name() : QString());
  });
}

}  // namespace velkor::setup::ui
