#include "viewer/shell/window/dialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

QDialogButtonBox* okCancel(QDialog* dialog, bool cancel = true) {
  auto* buttons = new QDialogButtonBox(
      cancel ? QDialogButtonBox::Ok | QDialogButtonBox::Cancel : QDialogButtonBox::Ok, dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return buttons;
}

// A dialog of a prompt, an edit field and OK/Cancel.
QLineEdit* promptLayout(QDialog* dialog, const QString& title, const QString& prompt) {
  dialog->setWindowTitle(title);
  auto* layout = new QVBoxLayout(dialog);
  layout->addWidget(new QLabel(prompt, dialog));
  auto* edit = new QLineEdit(dialog);
  edit->setObjectName("edit1001");
  layout->addWidget(edit);
  layout->addWidget(okCancel(dialog));
  return edit;
}

}  // namespace

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle("About Kestrel");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel("Kestrel 0.86", this));
  layout->addWidget(new QLabel("A 3D scene driven by text commands and live sensor data.", this));
  layout->addWidget(okCancel(this, false));
}

CLabelDialog::CLabelDialog(QWidget* parent)
    : QDialog(parent), edit_(promptLayout(this, "Object Labelling", "Enter Object Label:")) {
  edit_->setMaxLength(kMaxLength);
}

QString CLabelDialog::label() const { return edit_->text(); }

CVisibilityDialog::CVisibilityDialog(const std::vector<QString>& names,
                                     const std::vector<bool>& shown, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle("Visibility Control (not working yet)");
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  for (int k = 0; k < kBoxes; ++k) {
    auto index = static_cast<size_t>(k);
    auto* box = new QCheckBox(index < names.size() ? names[index] : QString(), this);
    box->setObjectName(QString("check%1").arg(boxId(k)));
    box->setChecked(index < shown.size() && shown[index]);
    grid->addWidget(box, k % 8, k / 8);
    boxes_[index] = box;
  }
  layout->addLayout(grid);
  layout->addWidget(okCancel(this));
}

bool CVisibilityDialog::lastBoxTicked() const { return boxes_[kBoxes - 1]->isChecked(); }

CSearchDialog::CSearchDialog(QWidget* parent)
    : QDialog(parent), edit_(promptLayout(this, "Search", "Search for:")) {}

QString CSearchDialog::text() const { return edit_->text(); }
