#include "setup/ui/text_dialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace velkor::setup::ui {

TextDialog::TextDialog(QWidget* parent, const QString& name, const QString& title, const QString& text)
    : QDialog(parent) {
  setObjectName(name);
  setWindowTitle(title);
  auto* layout = new QVBoxLayout(this);
  auto* report = new QPlainTextEdit(text, this);
  report->setObjectName("ReportText");
  report->setReadOnly(true);
  report->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  report->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  report->setMinimumSize(720, 240);
  layout->addWidget(report);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

}  // namespace velkor::setup::ui
