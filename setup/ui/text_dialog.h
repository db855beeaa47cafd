#pragma once
// A report to read and copy: a title, a text in a fixed-width font, Close.

#include <QDialog>
#include <QString>

namespace velkor::setup::ui {

class TextDialog : public QDialog {
  Q_OBJECT

 public:
  TextDialog(QWidget* parent, const QString& name, const QString& title, const QString& text);
};

}  // namespace velkor::setup::ui
