#include "setup/ui/compare_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace velkor::setup::ui {

CompareDialog::CompareDialog(QWidget* parent, const std::vector<std::string>& differences) : QDialog(parent) {
  setObjectName("CompareMotorDialog");
  setWindowTitle("Compare With Motor");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(differences.empty() ? "The motor holds what the screen shows."
                                                   : "Field: the screen's value | the motor's value",
                               this));
  auto* list = new QListWidget(this);
  list->setObjectName("Differences");
  for (const std::string& line : differences) list->addItem(QString::fromStdString(line));
  list->setMinimumSize(460, 260);
  layout->addWidget(list);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* take = buttons->addButton("Take Motor's Values", QDialogButtonBox::AcceptRole);
  take->setObjectName("TakeMotor");
  take->setEnabled(!differences.empty());
  QPushButton* keep = buttons->addButton("Keep Screen's Values", QDialogButtonBox::RejectRole);
  keep->setObjectName("KeepScreen");
  keep->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

}  // namespace velkor::setup::ui
